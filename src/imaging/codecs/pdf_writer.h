// SPDX-License-Identifier: GPL-3.0-or-later
// PDF files of a picture's dark pixels traced into curves (see
// traced_outlines.h): one page the picture's size at 72 dots per inch
// (a pixel a point), its content the filled black shapes, compressed.
//
// The file is our own few objects rather than a painter's output: the
// command-line companion needs no drawing toolkit for it, the page is
// exactly the picture's size, and the curves are written once, in whole
// tenths of a point, as the SVG writer writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/codecs/traced_outlines.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {

std::vector<std::uint8_t> encodePdf(const TracedOutlines& outlines);
// Throws UserError for an empty picture.
std::vector<std::uint8_t> encodePdf(const WorkBitmap& picture);
// Writes without ever destroying an existing file on failure; throws
// FileError naming the file and the reason.
void writePdfFile(const WorkBitmap& picture, const std::string& path);

}  // namespace hueline
