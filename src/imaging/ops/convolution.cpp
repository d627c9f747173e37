// SPDX-License-Identifier: GPL-3.0-or-later
// 3x3 convolutions: Fringe 1, Fringe 2 and 3, and Sharpen.
//
// A 24-bit row is a run of bytes in which the same channel of the left and
// right neighbours lies 3 bytes before and after; so every interior byte of
// an output row is computed from the nine bytes at offsets -3, 0, +3 of the
// three input rows, and one loop over the bytes of a row does all three
// channels at once. The loops below run on rows, in integers, and are
// written for the compiler to vectorise.
//
// Weighted sums are exact: the accumulator is chosen from the sum of the
// absolute weights. Up to 128 (every kernel the program ships) the sum of
// |weight| * 255 fits 16 bits; up to 8,421,504 it fits 32 bits; beyond that
// the sums are formed in 64 bits. The clamped result is the same whichever
// accumulator is used, so no coefficients can overflow.
#include "imaging/ops/convolution.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <utility>

namespace hueline {
namespace {

// The widest sum of |weight| * 255 an accumulator holds exactly.
std::int64_t absoluteWeight(const Kernel& k) {
    std::int64_t sum = 0;
    for (std::int32_t w : k) sum += std::llabs(std::int64_t(w));
    return sum;
}

enum class Width { Bits16, Bits32, Bits64 };

Width widthFor(std::int64_t absWeight) {
    const std::int64_t reach = absWeight * 255;
    if (reach <= std::numeric_limits<std::int16_t>::max()) return Width::Bits16;
    if (reach <= std::numeric_limits<std::int32_t>::max()) return Width::Bits32;
    return Width::Bits64;
}

template <typename Acc>
inline std::uint8_t clampByte(Acc v) {
    return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// A kernel known only at run time, its weights in the accumulator's type.
template <typename Acc>
struct RuntimeKernel {
    Acc w0, w1, w2, w3, w4, w5, w6, w7, w8;
    explicit RuntimeKernel(const Kernel& k)
        : w0(Acc(k[0])), w1(Acc(k[1])), w2(Acc(k[2])), w3(Acc(k[3])), w4(Acc(k[4])), w5(Acc(k[5])),
          w6(Acc(k[6])), w7(Acc(k[7])), w8(Acc(k[8])) {}
};

// The weighted sum at byte i of the three rows up, mid, down (row y-1, y,
// y+1). The caller guarantees that Acc holds the sum exactly.
template <typename Acc>
inline Acc weightedSum(const RuntimeKernel<Acc>& k, const std::uint8_t* up, const std::uint8_t* mid,
                       const std::uint8_t* down, std::size_t i) {
    return Acc(k.w0 * Acc(up[i - 3]) + k.w1 * Acc(up[i]) + k.w2 * Acc(up[i + 3]) + k.w3 * Acc(mid[i - 3]) +
               k.w4 * Acc(mid[i]) + k.w5 * Acc(mid[i + 3]) + k.w6 * Acc(down[i - 3]) + k.w7 * Acc(down[i]) +
               k.w8 * Acc(down[i + 3]));
}

// A kernel fixed at compile time: zero weights cost nothing.
template <const Kernel& K>
struct FixedKernel {};

template <typename Acc, const Kernel& K>
inline Acc weightedSum(FixedKernel<K>, const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                       std::size_t i) {
    Acc s = 0;
    const std::uint8_t* rows[3] = {up, mid, down};
    [&]<std::size_t... n>(std::index_sequence<n...>) {
        ((K[n] != 0 ? void(s = Acc(s + Acc(K[n]) * Acc(rows[n / 3][i + n % 3 * 3 - 3]))) : void()), ...);
    }(std::make_index_sequence<9>{});
    return s;
}

// Runs one output row through the interior: for every byte i of
// [3, 3 * (width - 1)) out[i] = op(i), reading the three input rows; the
// first and last pixel take border(v) of their own value.
template <typename Op, typename Border>
inline void interiorRow(const std::uint8_t* mid, std::uint8_t* out, int width, Op op, Border border) {
    const std::size_t end = 3 * std::size_t(width) - 3;
    for (std::size_t i = 0; i < 3; ++i) {
        out[i] = border(mid[i]);
        out[end + i] = border(mid[end + i]);
    }
    for (std::size_t i = 3; i < end; ++i) out[i] = op(i);
}

// The frame shared by every convolution: a new 24-bit output whose border
// rows and columns are border(v) of the input's, and whose interior rows
// come from rowFn(up, mid, down, out). Pictures without interior pixels
// get border(v) everywhere.
template <typename RowFn, typename Border>
WorkBitmap neighbourhood(const WorkBitmap& picture, RowFn rowFn, Border border) {
    const WorkBitmap in = picture.to24();
    const int w = in.width(), h = in.height();
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);
    const std::size_t bytes = 3 * std::size_t(w);
    auto borderRow = [&](int y) {
        const std::uint8_t* s = in.row(y);
        std::uint8_t* d = out.row(y);
        for (std::size_t i = 0; i < bytes; ++i) d[i] = border(s[i]);
    };
    if (w < 3 || h < 3) {
        for (int y = 0; y < h; ++y) borderRow(y);
        return out;
    }
    borderRow(0);
    for (int y = 1; y < h - 1; ++y) rowFn(in.row(y - 1), in.row(y), in.row(y + 1), out.row(y), w);
    borderRow(h - 1);
    return out;
}

inline std::uint8_t keep(std::uint8_t v) { return v; }
inline std::uint8_t negate(std::uint8_t v) { return std::uint8_t(255 - v); }

// Plain convolution rows: clamp(sum / divisor).
template <typename Acc, bool Divide, typename K>
__attribute__((target_clones("avx2", "default"))) void convolveRow(const std::uint8_t* __restrict up,
                                                                   const std::uint8_t* __restrict mid,
                                                                   const std::uint8_t* __restrict down,
                                                                   std::uint8_t* __restrict out, int width, K k,
                                                                   Acc divisor) {
    interiorRow(
        mid, out, width,
        [&](std::size_t i) {
            const Acc s = weightedSum<Acc>(k, up, mid, down, i);
            if constexpr (Divide) return clampByte<Acc>(Acc(s / divisor));
            else return clampByte<Acc>(s);
        },
        keep);
}

template <typename Acc>
WorkBitmap convolveWith(const WorkBitmap& picture, const Kernel& coefficients, std::uint16_t divisor) {
    const RuntimeKernel<Acc> k(coefficients);
    if (divisor == 1)
        return neighbourhood(
            picture,
            [&](const std::uint8_t* u, const std::uint8_t* m, const std::uint8_t* d, std::uint8_t* o, int w) {
                convolveRow<Acc, false>(u, m, d, o, w, k, Acc(1));
            },
            keep);
    // A 16-bit sum divided by a divisor above 255 may not fit the divisor's
    // own type; divide in 32 bits at least.
    using Wide = std::conditional_t<(sizeof(Acc) < 4), std::int32_t, Acc>;
    const RuntimeKernel<Wide> wide(coefficients);
    return neighbourhood(
        picture,
        [&](const std::uint8_t* u, const std::uint8_t* m, const std::uint8_t* d, std::uint8_t* o, int w) {
            convolveRow<Wide, true>(u, m, d, o, w, wide, Wide(divisor));
        },
        keep);
}

// Fringe rows: 255 - max(clamp(user sum), clamp(built-in sum)).
template <typename Acc, typename U, typename B>
__attribute__((target_clones("avx2", "default"))) void fringeRow(const std::uint8_t* __restrict up,
                                                                 const std::uint8_t* __restrict mid,
                                                                 const std::uint8_t* __restrict down,
                                                                 std::uint8_t* __restrict out, int width, U user,
                                                                 B builtIn) {
    interiorRow(
        mid, out, width,
        [&](std::size_t i) {
            const std::uint8_t a = clampByte<Acc>(weightedSum<Acc>(user, up, mid, down, i));
            const std::uint8_t b = clampByte<Acc>(weightedSum<Acc>(builtIn, up, mid, down, i));
            return std::uint8_t(255 - (a > b ? a : b));
        },
        negate);
}

template <typename Acc, typename B>
WorkBitmap fringeWith(const WorkBitmap& picture, const Kernel& user, B builtIn) {
    const RuntimeKernel<Acc> k(user);
    return neighbourhood(
        picture,
        [&](const std::uint8_t* u, const std::uint8_t* m, const std::uint8_t* d, std::uint8_t* o, int w) {
            fringeRow<Acc>(u, m, d, o, w, k, builtIn);
        },
        negate);
}

// The built-in kernel known at compile time when it is one of the two the
// program ships; any other goes through the run-time form.
template <typename Acc>
WorkBitmap fringeDispatch(const WorkBitmap& picture, const Kernel& user, const Kernel& builtIn) {
    if (builtIn == kFringe2BuiltIn) return fringeWith<Acc>(picture, user, FixedKernel<kFringe2BuiltIn>{});
    if (builtIn == kFringe3BuiltIn) return fringeWith<Acc>(picture, user, FixedKernel<kFringe3BuiltIn>{});
    return fringeWith<Acc>(picture, user, RuntimeKernel<Acc>(builtIn));
}

__attribute__((target_clones("avx2", "default"))) void sharpenRow(const std::uint8_t* __restrict up,
                                                                  const std::uint8_t* __restrict mid,
                                                                  const std::uint8_t* __restrict down,
                                                                  std::uint8_t* __restrict out, int width) {
    interiorRow(
        mid, out, width,
        [&](std::size_t i) {
            return clampByte<std::int16_t>(
                weightedSum<std::int16_t>(FixedKernel<kSharpenKernel>{}, up, mid, down, i));
        },
        keep);
}

}  // namespace

WorkBitmap convolvedPicture(const WorkBitmap& picture, const Kernel& coefficients, std::uint16_t divisor) {
    // A divisor of 0 would divide by zero; the dialogs always pass 1.
    if (divisor == 0) divisor = 1;
    switch (widthFor(absoluteWeight(coefficients))) {
    case Width::Bits16: return convolveWith<std::int16_t>(picture, coefficients, divisor);
    case Width::Bits32: return convolveWith<std::int32_t>(picture, coefficients, divisor);
    case Width::Bits64: break;
    }
    return convolveWith<std::int64_t>(picture, coefficients, divisor);
}

WorkBitmap fringePicture(const WorkBitmap& picture, const Kernel& user, const Kernel& builtIn) {
    const std::int64_t reach = std::max(absoluteWeight(user), absoluteWeight(builtIn));
    switch (widthFor(reach)) {
    case Width::Bits16: return fringeDispatch<std::int16_t>(picture, user, builtIn);
    case Width::Bits32: return fringeDispatch<std::int32_t>(picture, user, builtIn);
    case Width::Bits64: break;
    }
    return fringeDispatch<std::int64_t>(picture, user, builtIn);
}

WorkBitmap sharpenPicture(const WorkBitmap& picture) {
    return neighbourhood(
        picture,
        [](const std::uint8_t* u, const std::uint8_t* m, const std::uint8_t* d, std::uint8_t* o, int w) {
            sharpenRow(u, m, d, o, w);
        },
        keep);
}

}  // namespace hueline
