// SPDX-License-Identifier: GPL-3.0-or-later
// SVG files of a picture's dark pixels traced into curves (see
// traced_outlines.h): one user unit a pixel, width and height in px equal
// to the picture's size, filled black shapes and nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/codecs/traced_outlines.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {

std::vector<std::uint8_t> encodeSvg(const TracedOutlines& outlines);
// Throws UserError for an empty picture.
std::vector<std::uint8_t> encodeSvg(const WorkBitmap& picture);
// Writes without ever destroying an existing file on failure; throws
// FileError naming the file and the reason.
void writeSvgFile(const WorkBitmap& picture, const std::string& path);

}  // namespace hueline
