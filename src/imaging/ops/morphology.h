// SPDX-License-Identifier: GPL-3.0-or-later
// Binary morphology on black-and-white pictures: black is the drawing,
// white the paper. Black and white are whole-pixel tests (all three bytes
// 0, all three 255) except in ThinLine, which reads the red byte only.
// Only interior pixels are written; the outer rows and columns are read as
// neighbours but keep their values. Every step reads a copy that it does
// not write, so the visiting order has no effect.
//
// Each function takes a picture in any format and leaves it 24-bit.
#pragma once

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// A white pixel with a black edge neighbour (left, right, above, below)
// turns black.
void DilatePels(WorkBitmap& picture);

// A black pixel with a white edge neighbour turns white.
void ErodePels(WorkBitmap& picture);

// One thinning pass: a pixel turns white when, with indicator 1 for a
// neighbour whose red byte is 255, the eight indicators sum to 2..6, the
// clockwise cycle from upper-left has exactly one 0-to-1 step, and
// above*right*below == 0 and left*right*below == 0.
void ThinLine(WorkBitmap& picture);

// Pen-and-ink's hollowing step on a black-and-white picture: an interior
// pixel whose whole 3x3 block is black turns white, so black areas keep a
// one-pixel outline. A new 24-bit picture.
WorkBitmap penAndInkPicture(const WorkBitmap& picture);

// Erode, Dilate and Pen-and-ink as their commands run them, BlackWhite
// first, in one pass that never builds the thresholded picture. Each gives
// exactly BlackWhite followed by the step. New 24-bit pictures.
WorkBitmap erodedBlackWhite(const WorkBitmap& picture);
WorkBitmap dilatedBlackWhite(const WorkBitmap& picture);
WorkBitmap penAndInkBlackWhite(const WorkBitmap& picture);

}  // namespace hueline
