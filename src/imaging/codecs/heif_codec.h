// SPDX-License-Identifier: GPL-3.0-or-later
// HEIF files (HEIC from phones) and AVIF files through libheif.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Decodes the primary image of a HEIF or AVIF file into a 24-bit picture,
// 10- and 12-bit samples rounded to 8 bits, alpha laid over white. The
// file's own transforms (crop, rotation, mirror) are applied as libheif
// applies them, so the picture comes upright; an EXIF orientation inside
// the file is not applied on top of them. The picture is converted to sRGB
// by the file's ICC profile (see colour_profile.h), and warnings receives
// what the user is told when that profile cannot be used. Refuses pictures
// over the pixel limit (pixel_limit.h) before decoding. Throws FileError
// naming the file and libheif's reason.
WorkBitmap decodeHeif(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings = nullptr);

// As decodeHeif, but from the file's thumbnail when it has one that still
// covers a box of that size: the quick decode of a preview. libheif's
// decode cannot be stopped, so a file without such a thumbnail whose
// picture is over 4 megapixels gives none: Cancelled, as a preview over
// its time does.
WorkBitmap decodeHeifToCover(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth,
                             int boxHeight);

WorkBitmap readHeifFile(const std::string& path, std::string* warnings = nullptr);

}  // namespace hueline
