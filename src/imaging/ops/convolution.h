// SPDX-License-Identifier: GPL-3.0-or-later
// 3x3 convolutions: the three fringe methods and Sharpen.
//
// A kernel lists its nine weights row by row from the top, left to right,
// in the order of the coefficient boxes Edit1 .. Edit9:
//
//     Edit1 Edit2 Edit3      row y-1
//     Edit4 Edit5 Edit6      row y
//     Edit7 Edit8 Edit9      row y+1
//
// and is applied in that orientation, without flipping. Channels are
// computed on their own. Only interior pixels (1 <= x <= W-2, 1 <= y <= H-2)
// are computed; the outer rows and columns keep their values. Sums are
// formed in 64 bits and clamped to 0..255, so no coefficients can overflow.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

using Kernel = std::array<std::int32_t, 9>;

// The built-in edge kernels of Fringe 2 and Fringe 3, and Sharpen's.
inline constexpr Kernel kFringe2BuiltIn = {-1, 0, 1, -2, 0, 2, -1, 0, 1};
inline constexpr Kernel kFringe3BuiltIn = {1, 0, -1, 1, 0, -1, 1, 0, -1};
inline constexpr Kernel kSharpenKernel = {0, -1, 0, -1, 5, -1, 0, -1, 0};

// The coefficients the three dialogs start with (and Reset puts back).
inline constexpr Kernel kFringe1Defaults = {1, 2, 1, 0, 0, 0, -1, -1, -1};
inline constexpr Kernel kFringe2Defaults = {-1, -2, -1, 0, 0, 0, 1, 2, 1};
inline constexpr Kernel kFringe3Defaults = {-1, -1, -1, 0, 0, 0, -1, -1, -1};

// Fringe 1: the picture convolved over its interior, each channel
// clamp(sum / divisor, 0, 255), the quotient truncated toward zero. A
// divisor of 0 counts as 1. A new 24-bit picture.
WorkBitmap convolvedPicture(const WorkBitmap& picture, const Kernel& coefficients, std::uint16_t divisor);

// Fringe 2 and Fringe 3: for each interior channel the larger of the user
// kernel's and the built-in kernel's clamped responses; then the whole
// picture, border included, is inverted (v becomes 255 - v). Returns a new
// 24-bit picture.
WorkBitmap fringePicture(const WorkBitmap& picture, const Kernel& user, const Kernel& builtIn);

// Sharpen: the fixed kernel above, divisor 1, clamped. A new 24-bit picture.
WorkBitmap sharpenPicture(const WorkBitmap& picture);

}  // namespace hueline
