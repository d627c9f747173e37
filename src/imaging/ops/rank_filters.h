// SPDX-License-Identifier: GPL-3.0-or-later
// Rank filters: the 3x3 median of Median.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Sorts in place into ascending order: for i from 0 to n-2 and, within it,
// j from n-1 down to i+1, values[i] and values[j] are exchanged when
// values[j] < values[i]. Equal values are never exchanged.
void SelectionSort(std::span<std::int32_t> values);

// Each interior channel becomes the median (the fifth of nine sorted
// values) of that channel in its 3x3 block; the border keeps its values.
// A new 24-bit picture.
WorkBitmap medianPicture(const WorkBitmap& picture);

}  // namespace hueline
