// SPDX-License-Identifier: GPL-3.0-or-later
// The in-place routines, under the names the window's handlers know them
// by, each one line over the operation that computes a new picture. The
// picture they change ends 24-bit.
#pragma once

#include <cstdint>

#include "imaging/ops/convolution.h"
#include "imaging/ops/morphology.h"
#include "imaging/ops/tones.h"

namespace hueline {

inline void BlackWhite(WorkBitmap& picture) { picture = blackWhitePicture(picture); }
inline void ErodePels(WorkBitmap& picture) { picture = erodedPicture(picture); }
inline void DilatePels(WorkBitmap& picture) { picture = dilatedPicture(picture); }
inline void ThinLine(WorkBitmap& picture) { picture = thinnedPicture(picture); }
// target := source, converted to 24 bits.
inline void CopyMe(WorkBitmap& target, const WorkBitmap& source) { target = source.to24(); }
inline void Convolve(Kernel coefficients, std::uint16_t divisor, WorkBitmap& target) {
    target = convolvedPicture(target, coefficients, divisor);
}

}  // namespace hueline
