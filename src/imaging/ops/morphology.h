// SPDX-License-Identifier: GPL-3.0-or-later
// Binary morphology on black-and-white pictures: black is the drawing,
// white the paper. Black and white are whole-pixel tests (all three bytes
// 0, all three 255) except in Thin, which reads the red byte only.
// Only interior pixels are written; the outer rows and columns are read as
// neighbours but keep their values. Every step reads a copy that it does
// not write, so the visiting order has no effect.
//
// Each function takes a picture in any format and returns a new 24-bit
// picture.
#pragma once

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// One thinning pass: a pixel turns white when, with indicator 1 for a
// neighbour whose red byte is 255, the eight indicators sum to 2..6, the
// clockwise cycle from upper-left has exactly one 0-to-1 step, and
// above*right*below == 0 and left*right*below == 0.
WorkBitmap thinnedPicture(const WorkBitmap& picture);

// The plain steps, without the B&W threshold. The commands run the fused
// forms below; these serve the in-place routines, the tests (the fused
// forms must equal BlackWhite followed by them) and the benchmarks.
// Dilate: a white pixel with a black edge neighbour (left, right, above,
// below) turns black. Erode: a black pixel with a white edge neighbour
// turns white. Pen-and-ink: an interior pixel whose whole 3x3 block is
// black turns white, so black areas keep a one-pixel outline.
WorkBitmap dilatedPicture(const WorkBitmap& picture);
WorkBitmap erodedPicture(const WorkBitmap& picture);
WorkBitmap penAndInkPicture(const WorkBitmap& picture);

// Erode, Dilate and Pen-and-ink as their commands run them, BlackWhite
// first, in one pass that never builds the thresholded picture. Each gives
// exactly BlackWhite followed by the step.
WorkBitmap erodedBlackWhite(const WorkBitmap& picture);
WorkBitmap dilatedBlackWhite(const WorkBitmap& picture);
WorkBitmap penAndInkBlackWhite(const WorkBitmap& picture);

}  // namespace hueline
