// SPDX-License-Identifier: GPL-3.0-or-later
// Rank filters: the 3x3 median of Median.
#pragma once

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Each interior channel becomes the median of that channel in its 3x3
// block: the fifth of the nine values after a selection sort (for i from
// 0 to 7 and, within it, j from 8 down to i+1, values[i] and values[j]
// exchanged when values[j] < values[i]); the border keeps its values.
// A new 24-bit picture.
WorkBitmap medianPicture(const WorkBitmap& picture);

}  // namespace hueline
