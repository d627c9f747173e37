// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG files through libjpeg.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Decodes at full size with the floating-point DCT and block smoothing.
// Colour files (YCbCr, RGB, CMYK, YCCK) give 24-bit pictures; grayscale
// files give 8-bit pictures through libjpeg's one-pass quantiser asked for
// 236 colours with its default dithering. Throws FileError with
// libjpeg's own message. The picture is then turned upright by the
// orientation of the file's EXIF data (see orientedUpright).
// Limits, checked from the headers before the picture is allocated: at
// most 256 megapixels (kMaxPixels), 65500 pixels a side (libjpeg's own),
// 100 scans, 1 GB of decoder memory.
// A file whose data ends early or is corrupt still decodes as libjpeg
// decodes it (the missing part gray); damage, when given, then receives
// what the user is told, such as "photo.jpg is damaged: its data ends
// early, so the picture is gray below row 120 of 480.", and otherwise
// becomes empty.
// Reports progress (see progress.h); Cancelled passes through.
WorkBitmap decodeJpeg(std::span<const std::uint8_t> bytes, const std::string& name, std::string* damage = nullptr);

// As decodeJpeg, but reduced by libjpeg (1/2, 1/4 or 1/8) as far as the
// picture still covers a box of that size: the quick decode of a preview.
WorkBitmap decodeJpegToCover(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth,
                             int boxHeight);

// JFIF bytes: libjpeg's defaults plus quality, baseline, floating-point DCT,
// three RGB components, rows from the top. The picture is first brought to
// 24 bits.
std::vector<std::uint8_t> encodeJpeg(const WorkBitmap& picture, int quality = 90);

WorkBitmap readJpegFile(const std::string& path, std::string* damage = nullptr);
void writeJpegFile(const WorkBitmap& picture, const std::string& path);

}  // namespace hueline
