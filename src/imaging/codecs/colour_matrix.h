// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion to sRGB of a matrix-and-curves profile (what cameras and
// phones write: Adobe RGB, Display P3, ProPhoto) in tables: three reads
// of packed terms, two additions and three reads of the sRGB curve a
// pixel. lcms2's own optimised 8-bit transform does the same arithmetic
// through a call per pixel, and takes several times as long.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace hueline::colour {

// A colorant (the XYZ of a primary at full strength, adapted to D50) and
// a tone curve's linear values at the 256 8-bit levels, per primary.
struct MatrixShaper {
    std::array<std::array<double, 3>, 3> colorants{};   // [primary][X, Y, Z]
    std::array<std::array<double, 256>, 3> linear{};    // [primary][level]
};

class MatrixConversion {
public:
    // The relative colorimetric conversion from one matrix-and-curves
    // profile to another (sRGB), as lcms2 computes it. None when a curve
    // does not start at black (black-point compensation would then move
    // the colours, which the tables do not do), the target's colorants
    // have no inverse, or a primary maps to more than 2.5 times the
    // target's full strength.
    static std::optional<MatrixConversion> make(const MatrixShaper& from, const MatrixShaper& to);

    // Converts a row of Blue, Green, Red pixels in place.
    void convertRow(std::uint8_t* row, int width) const;

private:
    // Linear light in 1/16383 steps; each output channel's term in 21 bits
    // of a word, offset by kOffset to stay positive, so that the sum of
    // three is an index into encode_ as it stands: sums outside the gamut
    // find 0 or 255 there, and no pixel needs a test.
    static constexpr int kSteps = 16383;
    static constexpr int kFieldBits = 21;
    static constexpr std::int64_t kOffset = 40960;
    static constexpr std::size_t kSums = 6 * kOffset + 1;
    std::array<std::array<std::uint64_t, 256>, 3> terms_{};  // [input primary][level]
    std::vector<std::uint8_t> encode_;                       // sum of three terms -> 8-bit value
};

}  // namespace hueline::colour
