// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/ops/resampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/picture/errors.h"

// The two pixel loops are built for AVX2 as well, chosen at run time.
#define HUELINE_RESAMPLE_LOOP __attribute__((target_clones("avx2", "default")))

namespace hueline {
namespace {

// The area-averaging stretch is separable: every source row is first
// stretched across (into 16-bit values with 8 fraction bits), then each
// target row is a weighted sum of the few stretched rows it covers.
//
// Weights. Along one axis, with n source and m target pixels, source pixel
// i spans [i*m, (i+1)*m) and target pixel t spans [t*n, (t+1)*n) in units
// of 1/(n*m); the overlap of the two is the exact share of i in t, and the
// shares of one target pixel add up to n. Each target's shares are scaled
// to 2^bits by rounding their running total, so they add up to exactly
// 2^bits (a flat area stays exactly flat) and the error of any partial sum
// stays under half a unit.
//
// Zoom's factors cover at most three source pixels per target pixel. With
// that few, 32-bit sums with 23-bit weights (across) and 16-bit weights
// (down) are exact to far below a level and twice as fast; with more
// pixels per target (large reductions) the sums are formed in 64 bits
// with 31-bit weights.
constexpr int kFractionBits = 8;  // of the across-stretched values
constexpr int kFewTaps = 4;
constexpr int kFewAcrossBits = 23;  // 255 * 2^23 fits 31 bits
constexpr int kFewDownBits = 16;    // 65280 * 2^16 fits 32 bits
constexpr int kManyBits = 31;

struct AxisWeights {
    std::vector<int> first;             // first source pixel of each target pixel
    std::vector<int> count;             // how many source pixels it covers
    std::vector<std::size_t> offset;    // where its weights start in weight
    std::vector<std::uint32_t> weight;  // shares scaled to 2^bits
    int maxCount = 0;
    int bits = 0;
};

// How many source pixels a target pixel covers at most: the ratio n / m
// rounded up, plus one when it is not whole (the span may then straddle
// one more pixel boundary).
int maxCover(int n, int m) { return int((std::int64_t(n) + m - 1) / m) + (n % m != 0); }

// With pad, every target pixel gets exactly pad weights (zeros where it
// covers fewer), its first pixel moved left where the row would end, so
// that loops of a fixed length can run over them.
AxisWeights axisWeights(int sourceSize, int targetSize, int bits, int pad) {
    AxisWeights a;
    a.bits = bits;
    a.first.resize(std::size_t(targetSize));
    a.count.resize(std::size_t(targetSize));
    a.offset.resize(std::size_t(targetSize));
    a.weight.reserve(pad ? std::size_t(pad) * std::size_t(targetSize) : std::size_t(sourceSize) + std::size_t(targetSize));
    const std::int64_t n = sourceSize, m = targetSize;
    for (std::int64_t t = 0; t < m; ++t) {
        const std::int64_t lo = t * n, hi = (t + 1) * n;
        const std::int64_t i0 = lo / m, i1 = (hi + m - 1) / m;  // covered pixels [i0, i1)
        const std::int64_t start = pad ? std::min(i0, n - pad) : i0;
        a.first[std::size_t(t)] = int(start);
        a.count[std::size_t(t)] = pad ? pad : int(i1 - i0);
        a.offset[std::size_t(t)] = a.weight.size();
        a.maxCount = std::max(a.maxCount, int(i1 - i0));
        for (std::int64_t i = start; i < i0; ++i) a.weight.push_back(0);
        std::int64_t covered = 0, scaledBefore = 0;
        for (std::int64_t i = i0; i < i1; ++i) {
            covered += std::min((i + 1) * m, hi) - std::max(i * m, lo);
            const std::int64_t scaled = ((covered << bits) + n / 2) / n;
            a.weight.push_back(std::uint32_t(scaled - scaledBefore));
            scaledBefore = scaled;
        }
        for (std::int64_t i = i1; i < start + pad; ++i) a.weight.push_back(0);
    }
    return a;
}

// One source row stretched across: three values per target pixel, each
// 256 times the covered average, rounded. Taps > 0 is the fixed number of
// weights per target pixel (32-bit sums); 0 means any number (64-bit).
template <int Taps, typename Acc>
HUELINE_RESAMPLE_LOOP void stretchAcross(const std::uint8_t* src, std::uint16_t* dst, const AxisWeights& a) {
    const std::size_t targets = a.first.size();
    const int shift = a.bits - kFractionBits;
    const Acc half = Acc(1) << (shift - 1);
    const int* first = a.first.data();
    const int* count = a.count.data();
    const std::uint32_t* weight = a.weight.data();
    for (std::size_t t = 0; t < targets; ++t) {
        const std::uint8_t* s = src + 3 * std::size_t(first[t]);
        const std::uint32_t* w = Taps ? weight + Taps * t : weight + a.offset[t];
        const int n = Taps ? Taps : count[t];
        Acc b = half, g = half, r = half;
        for (int k = 0; k < n; ++k) {
            b += Acc(w[k]) * s[3 * k];
            g += Acc(w[k]) * s[3 * k + 1];
            r += Acc(w[k]) * s[3 * k + 2];
        }
        dst[3 * t] = std::uint16_t(b >> shift);
        dst[3 * t + 1] = std::uint16_t(g >> shift);
        dst[3 * t + 2] = std::uint16_t(r >> shift);
    }
}

void stretchRow(const std::uint8_t* src, std::uint16_t* dst, const AxisWeights& a, int taps) {
    switch (taps) {
    case 1: stretchAcross<1, std::uint32_t>(src, dst, a); break;
    case 2: stretchAcross<2, std::uint32_t>(src, dst, a); break;
    case 3: stretchAcross<3, std::uint32_t>(src, dst, a); break;
    case 4: stretchAcross<4, std::uint32_t>(src, dst, a); break;
    default: stretchAcross<0, std::uint64_t>(src, dst, a); break;
    }
}

// One target row from the stretched rows it covers, in blocks that stay
// in the first-level cache.
template <typename Acc>
HUELINE_RESAMPLE_LOOP void combineDown(const std::uint16_t* const* rows, const std::uint32_t* weights, int taps,
                                       int bits, std::uint8_t* dst, std::size_t values) {
    constexpr std::size_t kBlock = 512;
    const int shift = bits + kFractionBits;
    Acc acc[kBlock];
    for (std::size_t start = 0; start < values; start += kBlock) {
        const std::size_t len = std::min(kBlock, values - start);
        for (std::size_t i = 0; i < len; ++i) acc[i] = Acc(1) << (shift - 1);
        for (int k = 0; k < taps; ++k) {
            const std::uint16_t* row = rows[k] + start;
            const Acc w = weights[k];
            for (std::size_t i = 0; i < len; ++i) acc[i] += w * row[i];
        }
        for (std::size_t i = 0; i < len; ++i) dst[start + i] = std::uint8_t(acc[i] >> shift);
    }
}

}  // namespace

WorkBitmap areaResample(const WorkBitmap& source, int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative picture size");
    if (source.empty() || width == 0 || height == 0) return WorkBitmap(width, height);
    WorkBitmap out = WorkBitmap::uninitialized24(width, height);
    const WorkBitmap in = source.to24();

    // (A one-pixel source is covered once whatever maxCover says.)
    const int acrossCover = std::min(maxCover(in.width(), width), in.width());
    const int downCover = maxCover(in.height(), height);
    const int acrossTaps = acrossCover <= kFewTaps ? acrossCover : 0;
    const AxisWeights across = axisWeights(in.width(), width, acrossTaps ? kFewAcrossBits : kManyBits, acrossTaps);
    const bool fewDown = downCover <= kFewTaps;
    const AxisWeights down = axisWeights(in.height(), height, fewDown ? kFewDownBits : kManyBits, 0);

    // The stretched source rows a target row needs lie within a window of
    // down.maxCount consecutive rows that only moves down, so they are kept
    // in a ring: source row r lives in slot r % ring.
    const std::size_t values = 3 * std::size_t(width);
    const int ring = down.maxCount;
    std::vector<std::uint16_t> stretched(values * std::size_t(ring));
    std::vector<const std::uint16_t*> rows(static_cast<std::size_t>(ring));
    int nextRow = 0;  // the first source row not yet stretched

    for (int t = 0; t < height; ++t) {
        const int first = down.first[std::size_t(t)], taps = down.count[std::size_t(t)];
        for (int r = std::max(nextRow, first); r < first + taps; ++r)
            stretchRow(in.row(r), stretched.data() + values * std::size_t(r % ring), across, acrossTaps);
        nextRow = std::max(nextRow, first + taps);
        for (int k = 0; k < taps; ++k) rows[std::size_t(k)] = stretched.data() + values * std::size_t((first + k) % ring);
        const std::uint32_t* w = down.weight.data() + down.offset[std::size_t(t)];
        if (fewDown)
            combineDown<std::uint32_t>(rows.data(), w, taps, down.bits, out.row(t), values);
        else
            combineDown<std::uint64_t>(rows.data(), w, taps, down.bits, out.row(t), values);
    }
    return out;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t p = std::int64_t(a) * b;
    std::int64_t q = p / c;
    const std::int64_t rest = p % c;
    // Halves go away from zero: the quotient moves one further from zero
    // when the remainder is at least half the divisor.
    if (2 * (rest < 0 ? -rest : rest) >= (c < 0 ? -std::int64_t(c) : std::int64_t(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
    return int(q);
}

Rect fitRectangle(int pw, int ph, int bw, int bh) {
    if (pw <= 0 || ph <= 0 || bw <= 0 || bh <= 0) return {};
    Rect r;
    if (double(pw) / double(ph) > double(bw) / double(bh)) {
        const int w = MulDiv(ph, bw, bh);
        r.top = 0;
        r.bottom = ph;
        r.left = (pw - w) / 2;
        r.right = r.left + w;
    } else {
        const int h = MulDiv(pw, bh, bw);
        r.left = 0;
        r.right = pw;
        r.top = (ph - h) / 2;
        r.bottom = r.top + h;
    }
    return r;
}

WorkBitmap FitToPane(const WorkBitmap& bitmap, int pw, int ph) {
    WorkBitmap frame(pw, ph);
    const Rect r = fitRectangle(pw, ph, bitmap.width(), bitmap.height());
    if (r.width() <= 0 || r.height() <= 0) return frame;
    const WorkBitmap in = bitmap.to24();
    const int bw = in.width(), bh = in.height();

    // Each target pixel copies one source pixel: the one at
    // (t - left) * bw / w across and likewise down. The rectangle can only
    // overhang the frame through rounding; the overhang is not drawn.
    const int x0 = std::max(r.left, 0), x1 = std::min(r.right, pw);
    const int y0 = std::max(r.top, 0), y1 = std::min(r.bottom, ph);
    std::vector<std::uint32_t> column(std::size_t(std::max(x1 - x0, 0)));
    for (int x = x0; x < x1; ++x)
        column[std::size_t(x - x0)] = std::uint32_t(3 * (std::int64_t(x - r.left) * bw / r.width()));
    int lastSource = -1;
    for (int y = y0; y < y1; ++y) {
        const int sy = int(std::int64_t(y - r.top) * bh / r.height());
        std::uint8_t* dst = frame.row(y) + 3 * std::size_t(x0);
        if (sy == lastSource) {
            // An enlarged picture repeats rows: copy the one just drawn.
            std::memcpy(dst, frame.constRow(y - 1) + 3 * std::size_t(x0), 3 * column.size());
            continue;
        }
        lastSource = sy;
        const std::uint8_t* src = in.row(sy);
        for (std::size_t i = 0; i < column.size(); ++i) {
            const std::uint8_t* s = src + column[i];
            dst[3 * i] = s[0];
            dst[3 * i + 1] = s[1];
            dst[3 * i + 2] = s[2];
        }
    }
    return frame;
}

WorkBitmap zoomedPicture(const WorkBitmap& stored, int currentWidth, int currentHeight, double factor) {
    const double w = std::trunc(double(currentWidth) * factor);
    const double h = std::trunc(double(currentHeight) * factor);
    if (!(w >= 0 && h >= 0)) throw std::invalid_argument("negative zoom size");
    // Zooming in again and again would otherwise grow the panes without
    // bound; past the largest picture the program takes on, it stops.
    if (w > double(kMaxPixels) || h > double(kMaxPixels) || w * h > double(kMaxPixels))
        throw UserError("The picture cannot be zoomed in any further: it would be larger than 256 megapixels.");
    return areaResample(stored, int(w), int(h));
}

}  // namespace hueline
