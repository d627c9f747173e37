// SPDX-License-Identifier: GPL-3.0-or-later
// Luminance of a pixel, in the two forms the program uses.
//
//   gray luminance      round((R * 0.3   + G * 0.59 ) + B * 0.11)
//   threshold luminance round((R * 0.299 + G * 0.587) + B * 0.11)
//
// Each coefficient is the 80-bit extended-precision number nearest to its
// decimal, products and sums are rounded to extended precision in exactly
// that order, and the sum is rounded to an integer with halves going to the
// even neighbour. Gray pictures, the B&W split and the colour split use the
// gray form; the fixed B&W threshold uses the threshold form, whose white
// is 254.
//
// The computation here is integer only. Scaled by 100 (gray) or 1000
// (threshold) the exact decimal sum is an integer S, and the rounded
// result is decided by S alone unless S lies exactly on a half. Only then
// do the roundings of the extended evaluation matter: they push the sum a
// hair above or below the half, or leave it on it. For those colours the
// extended evaluation is replayed exactly on 64-bit significands in
// 128-bit integers. About one colour in a hundred is such a tie.
#pragma once

#include <cstdint>

namespace hueline {

enum class LuminanceForm : std::uint8_t { Gray, Threshold };

// The integer weights of the exact decimal sum S and the scale it carries.
struct LuminanceWeights {
    int red, green, blue, scale;
};
constexpr LuminanceWeights weightsOf(LuminanceForm f) {
    return f == LuminanceForm::Gray ? LuminanceWeights{30, 59, 11, 100} : LuminanceWeights{299, 587, 110, 1000};
}

// The extended-precision evaluation, replayed in integers; valid for every
// colour. Slow: the fast forms below call it for ties only.
int extendedLuminance(LuminanceForm form, int red, int green, int blue);

// For a colour whose exact sum lies exactly on n + 1/2: true when the
// extended evaluation rounds it up to n + 1.
bool tieRoundsUp(LuminanceForm form, int red, int green, int blue);

inline int luminance(LuminanceForm form, int red, int green, int blue) {
    const LuminanceWeights w = weightsOf(form);
    const int s = w.red * red + w.green * green + w.blue * blue;
    const int half = w.scale / 2;
    const int n = s / w.scale;
    const int rest = s - n * w.scale;
    if (rest != half) return rest > half ? n + 1 : n;
    return tieRoundsUp(form, red, green, blue) ? n + 1 : n;
}

inline int grayLuminance(int red, int green, int blue) { return luminance(LuminanceForm::Gray, red, green, blue); }
inline int thresholdLuminance(int red, int green, int blue) {
    return luminance(LuminanceForm::Threshold, red, green, blue);
}

// The threshold luminance of the fixed B&W threshold, where black ends.
inline constexpr int kBlackWhiteThreshold = 128;

}  // namespace hueline
