// SPDX-License-Identifier: GPL-3.0-or-later
// The orientation a camera records in a photo's EXIF data, and turning a
// picture upright by it.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// The orientation tag (1 to 8) of IFD0 in the body of an APP1 "Exif"
// block (from "Exif\0\0" on). 1, the picture as stored, when the block has
// no tag, a value outside 1 to 8, or is damaged in any way.
int exifOrientation(std::span<const std::uint8_t> app1);

// The picture as it is meant to be seen, for an 8-bit or 24-bit picture
// stored with the given orientation: 2 mirrored left to right, 3 turned
// half round, 4 mirrored top to bottom, 5 mirrored about the main
// diagonal, 6 turned a quarter clockwise, 7 mirrored about the other
// diagonal, 8 turned a quarter anticlockwise. 1 and anything else give the
// picture unchanged; 5 to 8 swap width and height. An 8-bit picture keeps
// its palette.
WorkBitmap orientedUpright(const WorkBitmap& picture, int orientation);

}  // namespace hueline
