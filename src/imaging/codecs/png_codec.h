// SPDX-License-Identifier: GPL-3.0-or-later
// PNG files through libspng.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Decodes a PNG file of any colour type, bit depth and interlacing.
// Palette files give 8-bit pictures with their palette; every other file
// gives a 24-bit picture, 16-bit samples cut to their high byte. Pixels
// that are not fully opaque (an alpha channel, or the transparent colour
// or palette entries of a tRNS chunk) are laid over white, as icons are.
// Refuses pictures over kMaxPixels from the header, before allocating.
// Throws FileError naming the file and the reason ("it is not a PNG
// file", "the file ends before its pixels", ...). A picture with an iCCP
// colour profile is converted to sRGB (see colour_profile.h); warnings,
// when given, receives what the user is told about a profile that could
// not be used.
WorkBitmap decodePng(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings = nullptr);

// Decodes the PNG image that an icon entry holds into a 32-bit picture
// whose alpha sits in masks().alpha (0xFF000000), 16-bit samples rounded
// to the nearest 8-bit value. Refuses images over 1024 x 1024 before decoding them.
// Throws UserError when the bytes are not a PNG image it can read.
WorkBitmap decodePngForIcon(std::span<const std::uint8_t> bytes);

// The picture as a PNG file, without loss: a picture with a palette as a
// palette file of its own bit depth (or as gray where the palette is the
// even gray ramp of that depth), a 24-bit picture as gray when all its
// pixels are gray (1 bit when they are all black or white) and as RGB
// otherwise. 16- and 32-bit pictures are brought to 24 bits first.
// Throws UserError for an empty picture.
std::vector<std::uint8_t> encodePng(const WorkBitmap& picture);

WorkBitmap readPngFile(const std::string& path, std::string* warnings = nullptr);
// Writes without ever destroying an existing file on failure.
void writePngFile(const WorkBitmap& picture, const std::string& path);

}  // namespace hueline
