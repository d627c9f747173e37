// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/ops/tones.h"

#include <bit>
#include <cstdint>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <vector>

namespace hueline {
namespace {

// Each pixel's exact decimal sum S is computed in 16-bit lanes and decides
// the pixel unless it lies exactly on a tie (about one colour in a
// hundred); ties are settled one by one by the extended evaluation, still
// from the input pixel, before the output is stored. So every loop reads a
// pixel before it writes the same pixel, and input and output may be the
// same row.

// floor(v / 100) for 0 <= v <= 25550, by a multiply and a shift.
inline int div100(int v) { return (v * 5243) >> 19; }

// A luminance of the form is greater than t exactly when S > limit, or
// S == limit and the tie rounds up, with limit = scale * t + scale / 2.
constexpr int limitFor(LuminanceForm form, int t) {
    const LuminanceWeights w = weightsOf(form);
    return w.scale * t + w.scale / 2;
}

// Remembers how recent ties were settled: photographs repeat colours, and
// replaying the extended evaluation costs far more than a look-up. Each
// entry holds the colour in its low 24 bits and the luminance + 1 above
// them (0 = empty).
class TieCache {
public:
    int gray(const std::uint8_t* pixel) {
        const int r = pixel[2], g = pixel[1], b = pixel[0];
        const std::uint32_t colour = std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
        std::uint32_t& slot = slots_[(colour * 2654435761u) >> (32 - kBits)];
        if ((slot & 0xFFFFFF) == colour && slot >> 24) return int(slot >> 24) - 1;
        const int v = grayLuminance(r, g, b);
        slot = colour | std::uint32_t(v + 1) << 24;
        return v;
    }

private:
    static constexpr int kBits = 14;
    std::vector<std::uint32_t> slots_ = std::vector<std::uint32_t>(std::size_t(1) << kBits);
};

template <LuminanceForm Form>
std::uint8_t whiteByte(const std::uint8_t* pixel, int threshold) {
    return luminance(Form, pixel[2], pixel[1], pixel[0]) > threshold ? 0xFF : 0;
}

#if defined(__x86_64__) || defined(__i386__)
#define HUELINE_HAVE_SSSE3_BLOCKS 1
// Sixteen pixels at a time with SSSE3's byte shuffles, which take the
// three channels apart and put the results back in three-byte pixels far
// more cheaply than the compiler's own vectorisation. Each block function
// handles the first width & ~15 pixels of a row and returns how many it
// did; plain loops finish the row. Sums stay in 16-bit lanes: S <= 25500
// for the gray weights.
namespace blocks {

// Byte i of mask k for channel c picks pixel i's channel c from the k-th
// 16-byte part of 48 bytes (0x80 = none).
struct Masks {
    alignas(16) std::uint8_t channel[3][3][16];
    alignas(16) std::uint8_t spread[3][16];  // 16 values to 48 bytes, each three times
};
constexpr Masks makeMasks() {
    Masks m{};
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 16; ++i) {
                const int at = 3 * i + c - 16 * k;
                m.channel[c][k][i] = std::uint8_t(at >= 0 && at < 16 ? at : 0x80);
            }
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 16; ++j) m.spread[k][j] = std::uint8_t((16 * k + j) / 3);
    return m;
}
constexpr Masks kMasks = makeMasks();

struct Channels16 {
    __m128i v[3];                          // the 48 source bytes
    __m128i bLo, bHi, gLo, gHi, rLo, rHi;  // each channel widened to 16 bits
};

__attribute__((target("ssse3"))) inline __m128i mask(const std::uint8_t* m) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

__attribute__((target("ssse3"))) inline Channels16 load(const std::uint8_t* p) {
    Channels16 c;
    for (int k = 0; k < 3; ++k) c.v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    __m128i ch[3];
    for (int n = 0; n < 3; ++n)
        ch[n] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(c.v[0], mask(kMasks.channel[n][0])),
                                          _mm_shuffle_epi8(c.v[1], mask(kMasks.channel[n][1]))),
                             _mm_shuffle_epi8(c.v[2], mask(kMasks.channel[n][2])));
    const __m128i zero = _mm_setzero_si128();
    c.bLo = _mm_unpacklo_epi8(ch[0], zero);
    c.bHi = _mm_unpackhi_epi8(ch[0], zero);
    c.gLo = _mm_unpacklo_epi8(ch[1], zero);
    c.gHi = _mm_unpackhi_epi8(ch[1], zero);
    c.rLo = _mm_unpacklo_epi8(ch[2], zero);
    c.rHi = _mm_unpackhi_epi8(ch[2], zero);
    return c;
}

// 30 R + 59 G + 11 B in eight 16-bit lanes.
__attribute__((target("ssse3"))) inline __m128i graySum(__m128i r, __m128i g, __m128i b) {
    return _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(r, _mm_set1_epi16(30)), _mm_mullo_epi16(g, _mm_set1_epi16(59))),
                         _mm_mullo_epi16(b, _mm_set1_epi16(11)));
}

// Writes 16 bytes as 16 three-byte pixels (each value in all three bytes).
__attribute__((target("ssse3"))) inline void storeSpread(std::uint8_t* p, __m128i values) {
    for (int k = 0; k < 3; ++k)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), _mm_shuffle_epi8(values, mask(kMasks.spread[k])));
}

// Replaces the bytes of the tie lanes (bit i of ties for lane i) by
// settle(pixel i of the block).
template <typename Settle>
__attribute__((target("ssse3"))) inline __m128i settleTies(__m128i values, int ties, const std::uint8_t* block,
                                                           Settle settle) {
    if (!ties) return values;
    alignas(16) std::uint8_t v[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(v), values);
    for (; ties; ties &= ties - 1) {
        const int i = std::countr_zero(unsigned(ties));
        v[i] = settle(block + 3 * i);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(v));
}

__attribute__((target("ssse3"))) int gray(const std::uint8_t* src, std::uint8_t* dst, int width, TieCache& cache) {
    const int n = width & ~15;
    for (int x = 0; x < n; x += 16) {
        const Channels16 c = load(src + 3 * x);
        __m128i q[2], t[2];
        const __m128i sums[2] = {graySum(c.rLo, c.gLo, c.bLo), graySum(c.rHi, c.gHi, c.bHi)};
        for (int h = 0; h < 2; ++h) {
            // (S + 50) / 100 is the high half of (S + 50) * 41944 shifted by
            // 6 more (exact below 43690); on a tie it rounded S up.
            const __m128i s = _mm_add_epi16(sums[h], _mm_set1_epi16(50));
            q[h] = _mm_srli_epi16(_mm_mulhi_epu16(s, _mm_set1_epi16(std::int16_t(41944))), 6);
            t[h] = _mm_cmpeq_epi16(s, _mm_mullo_epi16(q[h], _mm_set1_epi16(100)));
        }
        const int ties = _mm_movemask_epi8(_mm_packs_epi16(t[0], t[1]));
        storeSpread(dst + 3 * x, settleTies(_mm_packus_epi16(q[0], q[1]), ties, src + 3 * x,
                                            [&cache](const std::uint8_t* p) { return std::uint8_t(cache.gray(p)); }));
    }
    return n;
}

// 0xFF where S > limit, and the lanes where S == limit. For the gray
// weights S is the gray sum itself. For the threshold weights
// S = 299 R + 587 G + 110 B = 10 A - C with A the gray sum and C = R + 3 G,
// and with limit = 10 L0 + l1:
//   S > limit  <=>  A > L0 + floor((l1 + C) / 10)
//   S == limit <=>  A == L0 + floor((l1 + C) / 10) and 10 divides l1 + C
// which keeps every quantity in 16 bits.
template <LuminanceForm Form>
__attribute__((target("ssse3"))) inline __m128i whiteAndTie(const Channels16& c, int limit, int& ties) {
    __m128i w[2], t[2];
    const __m128i a[2] = {graySum(c.rLo, c.gLo, c.bLo), graySum(c.rHi, c.gHi, c.bHi)};
    const __m128i r[2] = {c.rLo, c.rHi}, g[2] = {c.gLo, c.gHi};
    for (int h = 0; h < 2; ++h) {
        if constexpr (Form == LuminanceForm::Gray) {
            const __m128i l = _mm_set1_epi16(std::int16_t(limit));
            w[h] = _mm_cmpgt_epi16(a[h], l);
            t[h] = _mm_cmpeq_epi16(a[h], l);
        } else {
            const __m128i d = _mm_add_epi16(_mm_add_epi16(r[h], _mm_mullo_epi16(g[h], _mm_set1_epi16(3))),
                                            _mm_set1_epi16(std::int16_t(limit % 10)));
            const __m128i tenth = _mm_mulhi_epu16(d, _mm_set1_epi16(6554));  // exact below 16384
            const __m128i bound = _mm_add_epi16(tenth, _mm_set1_epi16(std::int16_t(limit / 10)));
            w[h] = _mm_cmpgt_epi16(a[h], bound);
            t[h] = _mm_and_si128(_mm_cmpeq_epi16(a[h], bound),
                                 _mm_cmpeq_epi16(d, _mm_mullo_epi16(tenth, _mm_set1_epi16(10))));
        }
    }
    ties = _mm_movemask_epi8(_mm_packs_epi16(t[0], t[1]));
    return _mm_packs_epi16(w[0], w[1]);
}

// The threshold over the blocks of a row: put(x, white) receives the 0xFF
// lanes of the sixteen pixels from x on, ties already settled. The
// putters below are what the callers do with them.
template <LuminanceForm Form, typename Put>
__attribute__((target("ssse3"))) int threshold(const std::uint8_t* src, int width, int threshold, Put put) {
    const int n = width & ~15, limit = limitFor(Form, threshold);
    for (int x = 0; x < n; x += 16) {
        int ties;
        const __m128i w = whiteAndTie<Form>(load(src + 3 * x), limit, ties);
        put(x, settleTies(w, ties, src + 3 * x,
                          [threshold](const std::uint8_t* p) { return whiteByte<Form>(p, threshold); }));
    }
    return n;
}

struct PutMask {
    std::uint8_t* white;
    __attribute__((target("ssse3"))) void operator()(int x, __m128i w) const {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(white + x), w);
    }
};

struct PutBlackWhite {
    std::uint8_t* dst;
    __attribute__((target("ssse3"))) void operator()(int x, __m128i w) const { storeSpread(dst + 3 * x, w); }
};

struct PutWhitened {
    const std::uint8_t* src;
    std::uint8_t* dst;
    __attribute__((target("ssse3"))) void operator()(int x, __m128i w) const {
        for (int k = 0; k < 3; ++k) {
            const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x + 16 * k));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x + 16 * k),
                             _mm_or_si128(in, _mm_shuffle_epi8(w, mask(kMasks.spread[k]))));
        }
    }
};

}  // namespace blocks
#else
// Elsewhere the plain loops do every pixel; the block putters are unused.
namespace blocks {
struct PutMask {
    std::uint8_t* white;
};
struct PutBlackWhite {
    std::uint8_t* dst;
};
struct PutWhitened {
    const std::uint8_t* src;
    std::uint8_t* dst;
};
}  // namespace blocks
#endif

// The block functions run where the processor has SSSE3 (every x86-64
// processor of the last fifteen years); the plain loops finish each row.
inline bool useBlocks() {
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    static const bool supported = __builtin_cpu_supports("ssse3");
    return supported;
#else
    return false;
#endif
}

void grayRow(const std::uint8_t* src, std::uint8_t* dst, int width, TieCache& cache) {
    int x = 0;
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    if (useBlocks()) x = blocks::gray(src, dst, width, cache);
#endif
    for (; x < width; ++x) {
        const std::uint8_t* p = src + 3 * x;
        const int s = 30 * p[2] + 59 * p[1] + 11 * p[0];
        const int q = div100(s + 50);
        const std::uint8_t v = std::uint8_t(s + 50 == 100 * q ? cache.gray(p) : q);
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    }
}

// The one threshold decision over a row of width pixels: the blocks,
// then putOne(x, 0xFF or 0) for each pixel after them. BlockPut is the
// block form of the same output.
template <LuminanceForm Form, typename BlockPut, typename OnePut>
void thresholdRow(const std::uint8_t* src, int width, int threshold, [[maybe_unused]] BlockPut putBlock,
                  OnePut putOne) {
    int x = 0;
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    if (useBlocks()) x = blocks::threshold<Form>(src, width, threshold, putBlock);
#endif
    for (; x < width; ++x) putOne(x, whiteByte<Form>(src + 3 * x, threshold));
}

template <LuminanceForm Form>
void blackWhiteRow(const std::uint8_t* src, std::uint8_t* dst, int width, int threshold) {
    thresholdRow<Form>(src, width, threshold, blocks::PutBlackWhite{dst},
                       [dst](int x, std::uint8_t v) { dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v; });
}

// Runs fn(input row, output row, width) over every row of a 24-bit input
// into a 24-bit output of the same size.
template <typename RowFn>
void eachRow(const WorkBitmap& in24, WorkBitmap& out, RowFn fn) {
    for (int y = 0; y < in24.height(); ++y) fn(in24.constRow(y), out.row(y), in24.width());
}

// A new 24-bit picture: rows(24-bit input, output) fills the output.
template <typename Rows>
WorkBitmap computed24(const WorkBitmap& picture, Rows rows) {
    const WorkBitmap in = picture.to24();
    WorkBitmap out = WorkBitmap::uninitialized24(in.width(), in.height());
    rows(in, out);
    return out;
}

}  // namespace

void thresholdMaskRow(const std::uint8_t* row, int width, LuminanceForm form, int threshold, std::uint8_t* white) {
    const auto putOne = [white](int x, std::uint8_t v) { white[x] = v; };
    if (form == LuminanceForm::Gray)
        thresholdRow<LuminanceForm::Gray>(row, width, threshold, blocks::PutMask{white}, putOne);
    else
        thresholdRow<LuminanceForm::Threshold>(row, width, threshold, blocks::PutMask{white}, putOne);
}

void grayRows(const WorkBitmap& in24, WorkBitmap& out) {
    TieCache cache;
    for (int y = 0; y < in24.height(); ++y) grayRow(in24.constRow(y), out.row(y), in24.width(), cache);
}

void thresholdRows(const WorkBitmap& in24, WorkBitmap& out, LuminanceForm form, int threshold) {
    if (form == LuminanceForm::Gray)
        eachRow(in24, out, [threshold](const std::uint8_t* s, std::uint8_t* d, int w) {
            blackWhiteRow<LuminanceForm::Gray>(s, d, w, threshold);
        });
    else
        eachRow(in24, out, [threshold](const std::uint8_t* s, std::uint8_t* d, int w) {
            blackWhiteRow<LuminanceForm::Threshold>(s, d, w, threshold);
        });
}

void colorSplitRows(const WorkBitmap& in24, WorkBitmap& out, int position) {
    eachRow(in24, out, [position](const std::uint8_t* s, std::uint8_t* d, int w) {
        thresholdRow<LuminanceForm::Gray>(s, w, position, blocks::PutWhitened{s, d}, [s, d](int x, std::uint8_t v) {
            for (int k = 0; k < 3; ++k) d[3 * x + k] = s[3 * x + k] | v;
        });
    });
}

WorkBitmap grayPicture(const WorkBitmap& picture) { return computed24(picture, grayRows); }

WorkBitmap blackWhitePicture(const WorkBitmap& picture) {
    return computed24(picture, [](const WorkBitmap& in, WorkBitmap& out) {
        thresholdRows(in, out, LuminanceForm::Threshold, kBlackWhiteThreshold);
    });
}

WorkBitmap bwSplitPicture(const WorkBitmap& picture, int position) {
    return computed24(picture, [position](const WorkBitmap& in, WorkBitmap& out) {
        thresholdRows(in, out, LuminanceForm::Gray, position);
    });
}

WorkBitmap colorSplitPicture(const WorkBitmap& picture, int position) {
    return computed24(picture,
                      [position](const WorkBitmap& in, WorkBitmap& out) { colorSplitRows(in, out, position); });
}

}  // namespace hueline
