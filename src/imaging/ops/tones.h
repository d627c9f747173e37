// SPDX-License-Identifier: GPL-3.0-or-later
// Gray and the thresholds: point operations, each pixel on its own.
//
// Every function takes the picture in any format and returns a new 24-bit
// picture; the input is left as it was (its pixels may be shared).
#pragma once

#include <cstdint>

#include "imaging/picture/luminance.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Every pixel becomes (g, g, g), g its gray luminance.
WorkBitmap grayPicture(const WorkBitmap& picture);

// The fixed threshold of the B&W command: white where the threshold
// luminance is greater than kBlackWhiteThreshold, black elsewhere.
WorkBitmap blackWhitePicture(const WorkBitmap& picture);

// The B&W split at a slider position: white where the gray luminance is
// greater than the position, black elsewhere.
WorkBitmap bwSplitPicture(const WorkBitmap& picture, int position);

// The colour split: white where the gray luminance is greater than the
// position, the pixel's own colour elsewhere.
WorkBitmap colorSplitPicture(const WorkBitmap& picture, int position);

// The one threshold decision, for a 24-bit row of width pixels: white[x]
// becomes 0xFF where pixel x's luminance of the form is greater than
// threshold (0 .. 255), 0 elsewhere. Every thresholding operation (these
// and the morphology commands' B&W) decides through it.
void thresholdMaskRow(const std::uint8_t* row, int width, LuminanceForm form, int threshold, std::uint8_t* white);

// The row kernels behind the functions above, for callers that already
// have a 24-bit input and an allocated 24-bit output of the same size (the
// benchmarks). Input and output may be the same picture: every pixel is
// read before it is written.
void grayRows(const WorkBitmap& in24, WorkBitmap& out);
void thresholdRows(const WorkBitmap& in24, WorkBitmap& out, LuminanceForm form, int threshold);
void colorSplitRows(const WorkBitmap& in24, WorkBitmap& out, int position);

}  // namespace hueline
