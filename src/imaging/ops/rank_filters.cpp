// SPDX-License-Identifier: GPL-3.0-or-later
// Median: the per-channel median of each 3x3 block.
//
// The selection sort's exchanges are fixed by the positions i and j alone: the
// pair (i, j) is compared in the same order whatever the values, and an
// exchange leaves the smaller value at i and the larger at j. So for nine
// values the sort is a fixed sequence of 36 compare-exchanges, each a min
// and a max, and the same sequence can run over every byte of a row at
// once: the fifth value it leaves is exactly what the sort leaves.
#include "imaging/ops/rank_filters.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace hueline {
namespace {

constexpr std::size_t kBlock = 9;

// The sort's (i, j) pairs for nine values, in the order it visits them.
struct Pair {
    std::size_t i, j;
};
constexpr std::size_t kPairs = kBlock * (kBlock - 1) / 2;
constexpr std::array<Pair, kPairs> selectionPairs() {
    std::array<Pair, kPairs> pairs{};
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < kBlock; ++i)
        for (std::size_t j = kBlock - 1; j > i; --j) pairs[n++] = {i, j};
    return pairs;
}
constexpr std::array<Pair, kPairs> kSelectionPairs = selectionPairs();

template <std::size_t N>
inline void compareExchange(std::uint8_t (&v)[kBlock]) {
    constexpr Pair p = kSelectionPairs[N];
    const std::uint8_t a = v[p.i], b = v[p.j];
    v[p.i] = b < a ? b : a;
    v[p.j] = b < a ? a : b;
}

template <std::size_t... N>
inline void selectionNetwork(std::uint8_t (&v)[kBlock], std::index_sequence<N...>) {
    (compareExchange<N>(v), ...);
}

// One output row: every interior byte becomes the median of the nine
// bytes of its channel in the block, taken in the order upper-left, above,
// upper-right, left, centre, right, lower-left, below, lower-right.
__attribute__((target_clones("avx2", "default"))) void medianRow(const std::uint8_t* __restrict up,
                                                                 const std::uint8_t* __restrict mid,
                                                                 const std::uint8_t* __restrict down,
                                                                 std::uint8_t* __restrict out, int width) {
    const std::size_t end = 3 * std::size_t(width) - 3;
    for (std::size_t i = 0; i < 3; ++i) {
        out[i] = mid[i];
        out[end + i] = mid[end + i];
    }
    for (std::size_t i = 3; i < end; ++i) {
        std::uint8_t v[kBlock] = {up[i - 3],  up[i],  up[i + 3],   mid[i - 3], mid[i],
                                  mid[i + 3], down[i - 3], down[i], down[i + 3]};
        selectionNetwork(v, std::make_index_sequence<kPairs>{});
        out[i] = v[kBlock / 2];
    }
}

}  // namespace

WorkBitmap medianPicture(const WorkBitmap& picture) {
    const WorkBitmap in = picture.to24();
    const int w = in.width(), h = in.height();
    if (w < 3 || h < 3) return in;
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);
    const std::size_t bytes = 3 * std::size_t(w);
    std::copy_n(in.row(0), bytes, out.row(0));
    for (int y = 1; y < h - 1; ++y) medianRow(in.row(y - 1), in.row(y), in.row(y + 1), out.row(y), w);
    std::copy_n(in.row(h - 1), bytes, out.row(h - 1));
    return out;
}

}  // namespace hueline
