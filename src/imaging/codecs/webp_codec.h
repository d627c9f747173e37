// SPDX-License-Identifier: GPL-3.0-or-later
// WebP files through libwebp.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Decodes a WebP file, lossy or lossless, into a 24-bit picture of its
// canvas size, alpha laid over white; an animated file gives its first
// frame, on white where the frame does not cover the canvas. The picture is
// converted to sRGB by the file's ICCP profile (see colour_profile.h) and
// turned upright by the orientation of its EXIF data. Refuses pictures over
// the pixel limit (pixel_limit.h) before allocating. A file that ends early
// still opens with the rows libwebp decoded, white below them, and warnings
// then receives what the user is told; a profile that cannot be used is
// reported there too. Throws FileError naming the file and the reason.
// Reports progress (see progress.h).
WorkBitmap decodeWebp(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings = nullptr);

// As decodeWebp, but scaled down by libwebp while it decodes, as far as
// the picture still covers a box of that size: the quick decode of a
// preview.
WorkBitmap decodeWebpToCover(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth,
                             int boxHeight);

WorkBitmap readWebpFile(const std::string& path, std::string* warnings = nullptr);

}  // namespace hueline
