// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers in the text of the traced files (SVG path data, PDF content):
// coordinates are written as whole tenths of a pixel, which keeps the
// files small and places every curve within a twentieth of a pixel.
#pragma once

#include <charconv>
#include <cmath>
#include <string>

#include "imaging/codecs/traced_outlines.h"

namespace hueline {

inline constexpr int kTenthsPerPixel = 10;

struct TenthsPoint {
    long long x = 0, y = 0;
};

inline TenthsPoint inTenths(OutlinePoint p) {
    return {std::llround(p.x * kTenthsPerPixel), std::llround(p.y * kTenthsPerPixel)};
}

inline void appendNumber(std::string& text, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

}  // namespace hueline
