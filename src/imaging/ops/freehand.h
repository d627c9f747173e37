// SPDX-License-Identifier: GPL-3.0-or-later
// Freehand stamps: the disk that the pen, the brush and the rubber paint.
//
// A stamp made with the pointer at (X, Y) is a disk of radius 16 centred
// at (X + 16, Y + 16), matching the circle cursor whose box starts at the
// pointer. In the column at distance d from the centre it covers the rows
// centre - h .. centre + h, h the nearest integer to sqrt(256 - d*d): 833
// pixels in all. Pixels are visited column by column from the left, each
// column from the top; those outside the picture are skipped.
#pragma once

#include <array>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

enum class StampTool { Pen, Brush, Rubber };

inline constexpr int kStampRadius = 16;
// Half-heights of the disk's columns for d = 0 .. 16.
inline constexpr std::array<int, 17> kStampHalfHeights = {16, 16, 16, 16, 15, 15, 15, 14, 14,
                                                          13, 12, 12, 11, 9,  8,  6,  0};

// Paints one stamp into a 24-bit picture:
//   Pen     every pixel of the disk becomes colour
//   Brush   every pixel that is not exactly white becomes colour
//   Rubber  every pixel becomes white
void stamp(WorkBitmap& picture, int x, int y, StampTool tool, ColorValue colour);

}  // namespace hueline
