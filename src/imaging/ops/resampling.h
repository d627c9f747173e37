// SPDX-License-Identifier: GPL-3.0-or-later
// Resampling for the view: zoom's area-averaging stretch and the preview's
// fit into a fixed frame.
#pragma once

#include <cstdint>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// A new 24-bit picture of width x height in which every pixel is the
// average colour of the part of the source it covers, partly covered
// source pixels weighted by the covered fraction. Either side may be 0.
WorkBitmap areaResample(const WorkBitmap& source, int width, int height);

// a * b / c rounded to the nearest integer, halves away from zero; -1 when
// c is 0.
int MulDiv(int a, int b, int c);

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Where the preview draws a bw x bh picture inside a pw x ph frame: the
// picture fills the height when the frame is relatively wider, else the
// width, centred with the offset truncated.
Rect fitRectangle(int pw, int ph, int bw, int bh);

// The preview's frame: a white pw x ph picture with the bitmap stretched
// (nearest pixel) into fitRectangle. An empty bitmap gives a white frame.
WorkBitmap FitToPane(const WorkBitmap& bitmap, int pw, int ph);

// The zoom step of one pane: the size is the current size times factor,
// each side truncated toward zero; the content is one area-averaging
// stretch of the stored picture.
WorkBitmap zoomedPicture(const WorkBitmap& stored, int currentWidth, int currentHeight, double factor);

}  // namespace hueline
