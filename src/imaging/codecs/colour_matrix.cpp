// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/colour_matrix.h"

#include <algorithm>
#include <cmath>

namespace hueline::colour {
namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

// Rows X, Y, Z; columns the primaries.
Matrix toXyz(const MatrixShaper& p) {
    Matrix m{};
    for (int primary = 0; primary < 3; ++primary)
        for (int axis = 0; axis < 3; ++axis) m[axis][primary] = p.colorants[primary][axis];
    return m;
}

std::optional<Matrix> inverse(const Matrix& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::fabs(det) < 1e-9) return std::nullopt;
    Matrix inv{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inv[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return inv;
}

// The inverse of a tone curve given at the 256 levels, by interpolation.
double encodeLevel(const std::array<double, 256>& linear, double value) {
    if (value <= linear[0]) return 0;
    if (value >= linear[255]) return 255;
    const auto above = std::upper_bound(linear.begin(), linear.end(), value);
    const std::size_t i = std::size_t(above - linear.begin());
    const double low = linear[i - 1], high = linear[i];
    return double(i - 1) + (high > low ? (value - low) / (high - low) : 0.0);
}

}  // namespace

std::optional<MatrixConversion> MatrixConversion::make(const MatrixShaper& from, const MatrixShaper& to) {
    for (int c = 0; c < 3; ++c)
        if (from.linear[c][0] > 1e-6 || to.linear[c][0] > 1e-6) return std::nullopt;
    const std::optional<Matrix> back = inverse(toXyz(to));
    if (!back) return std::nullopt;
    const Matrix forth = toXyz(from);
    MatrixConversion made;
    for (int in = 0; in < 3; ++in)
        for (int level = 0; level < 256; ++level) {
            std::uint64_t packed = 0;
            for (int out = 0; out < 3; ++out) {
                double gain = 0;
                for (int axis = 0; axis < 3; ++axis) gain += (*back)[out][axis] * forth[axis][in];
                const double term = std::clamp(gain * from.linear[in][level] * kSteps, -double(kOffset), double(kOffset));
                packed |= std::uint64_t(std::llround(term) + kOffset) << (kFieldBits * out);
            }
            made.terms_[in][level] = packed;
        }
    // The target's curve, inverted: one channel serves for all (sRGB's
    // three are the same).
    for (int step = 0; step <= kSteps; ++step)
        made.encode_[step] = std::uint8_t(std::lround(encodeLevel(to.linear[1], double(step) / kSteps)));
    return made;
}

void MatrixConversion::convertRow(std::uint8_t* row, int width) const {
    constexpr std::uint64_t kField = (std::uint64_t(1) << kFieldBits) - 1;
    constexpr std::int64_t kOffsets = 3 * kOffset;
    auto encoded = [this](std::uint64_t sum, int out) {
        const std::int64_t v = std::int64_t(sum >> (kFieldBits * out) & kField) - kOffsets;
        return encode_[std::size_t(std::clamp<std::int64_t>(v, 0, kSteps))];
    };
    for (int x = 0; x < width; ++x) {
        std::uint8_t* p = row + 3 * x;
        const std::uint64_t sum = terms_[0][p[2]] + terms_[1][p[1]] + terms_[2][p[0]];
        p[2] = encoded(sum, 0);
        p[1] = encoded(sum, 1);
        p[0] = encoded(sum, 2);
    }
}

}  // namespace hueline::colour
