// SPDX-License-Identifier: GPL-3.0-or-later
// TIFF files through libtiff.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Decodes the first page of a TIFF file, in strips or tiles, with any of
// libtiff's compressions (none, LZW, Deflate, PackBits, JPEG, ...):
// - bilevel files (1 bit, gray or palette) give 1-bit pictures, other gray
//   and palette files 8-bit pictures with a gray ramp or their palette,
//   16-bit gray rounded to 8 bits;
// - every other file (RGB, CMYK, YCbCr, with or without alpha, 8 or 16
//   bits a channel) gives a 24-bit picture through libtiff's RGBA reading,
//   alpha laid over white.
// The picture is then converted to sRGB by the file's colour profile (see
// colour_profile.h) and turned upright by its Orientation tag. Refuses
// pictures over the pixel limit (pixel_limit.h) before allocating. A file
// whose pixel data breaks off part way still opens, white from where it
// broke, and warnings then receives what the user is told; a profile that
// cannot be used is reported there too. Throws FileError naming the file
// and the reason. Reports progress (see progress.h).
WorkBitmap decodeTiff(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings = nullptr);

WorkBitmap readTiffFile(const std::string& path, std::string* warnings = nullptr);

}  // namespace hueline
