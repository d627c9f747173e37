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
                // Primaries so far apart that a term outgrows its field
                // are left to lcms2.
                const double term = gain * from.linear[in][level] * kSteps;
                if (std::fabs(term) > double(kOffset)) return std::nullopt;
                packed |= std::uint64_t(std::llround(term) + kOffset) << (kFieldBits * out);
            }
            made.terms_[in][level] = packed;
        }
    // The target's curve, inverted: one channel serves for all (sRGB's
    // three are the same).
    made.encode_.assign(kSums, 255);
    for (std::int64_t sum = 0; sum < std::int64_t(kSums); ++sum) {
        const std::int64_t step = sum - 3 * kOffset;
        if (step > kSteps) break;
        made.encode_[std::size_t(sum)] =
            step <= 0 ? 0 : std::uint8_t(std::lround(encodeLevel(to.linear[1], double(step) / kSteps)));
    }
    return made;
}

void MatrixConversion::convertRow(std::uint8_t* row, int width) const {
    constexpr std::uint64_t kField = (std::uint64_t(1) << kFieldBits) - 1;
    const std::uint8_t* encode = encode_.data();
    const auto& red = terms_[0];
    const auto& green = terms_[1];
    const auto& blue = terms_[2];
    for (std::uint8_t* p = row; p != row + 3 * std::size_t(width); p += 3) {
        const std::uint64_t sum = red[p[2]] + green[p[1]] + blue[p[0]];
        p[2] = encode[sum & kField];
        p[1] = encode[sum >> kFieldBits & kField];
        p[0] = encode[sum >> (2 * kFieldBits)];  // the top field: nothing above it
    }
}

}  // namespace hueline::colour
