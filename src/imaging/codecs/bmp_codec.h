// SPDX-License-Identifier: GPL-3.0-or-later
// BMP files: our own reader and writer, so that a picture keeps the pixel
// format it was stored in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Decodes the bytes of a BMP file. name is only used in error messages.
// The picture keeps the stored format (RLE pictures come back as 4 or 8
// bits, 2-bit ones as 24 bits). Throws FileError with the reason ("the file
// ends before its pixels", "unsupported bit depth (7)", "the picture is
// larger than 256 megapixels (40000 x 40000)", ...).
WorkBitmap decodeBmp(std::span<const std::uint8_t> bytes, const std::string& name);

// Decodes a device-independent bitmap as icons and metafiles carry it: the
// info header, its palette or masks, then the pixels. With iconHalves the
// stored height counts the colour image and its mask together, and only
// the top half (the colour image) is returned; see iconMaskOf.
WorkBitmap decodeDib(std::span<const std::uint8_t> dib, const std::string& name, bool iconHalves = false);

// The transparency mask of an icon image (the bitmap after the colour
// image): a 1-bit picture of the colour image's size, rows from the top,
// index 1 where the icon is transparent. Throws FileError when the mask is
// missing or the image is compressed.
WorkBitmap iconMaskOf(std::span<const std::uint8_t> dib, const std::string& name);

// The picture as a BMP file, in its own pixel format: 1, 4 and 8 bits with
// their palette, 16 and 32 bits with their masks, 24 bits; bottom-up rows
// padded to 4 bytes. The 40-byte header, with bit-field masks after it when
// the masks are not the default ones, or the 108-byte one when they include
// alpha. The bytes are built in picture memory. Throws UserError for an empty picture, which BMP cannot hold.
PictureBytes encodeBmp(const WorkBitmap& picture);

// Reads a BMP file; throws FileError naming the file and the reason.
WorkBitmap readBmpFile(const std::string& path);
// Writes without ever destroying an existing file on failure. Throws
// FileError naming the file and the reason.
void writeBmpFile(const WorkBitmap& picture, const std::string& path);

}  // namespace hueline
