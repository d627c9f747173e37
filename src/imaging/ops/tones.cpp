// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/ops/tones.h"

#include <cstdint>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <vector>

namespace hueline {
namespace {

// The row loops below are written for the compiler to vectorise: each
// computes the exact decimal sum S of every pixel in 32-bit lanes, decides
// the pixel from S, and only notes whether some S fell exactly on a tie.
// Ties (about one colour in a hundred) are then settled one by one by the
// extended evaluation. Input and output rows are always different.

// The row loops are compiled twice, for AVX2 and for the baseline, and the
// processor picks at load time: the interleaved three-byte pixels only
// vectorise well with AVX2's shuffles.
#define HUELINE_ROW_LOOP __attribute__((target_clones("avx2", "default")))

// Calls fn(x) for every x whose flag is set, skipping eight clear flags at
// a time: ties are sparse.
template <typename Fn>
void forEachFlagged(const std::uint8_t* flags, int width, Fn fn) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        std::uint64_t word;
        std::memcpy(&word, flags + x, 8);
        if (!word) continue;
        for (int i = 0; i < 8; ++i)
            if (flags[x + i]) fn(x + i);
    }
    for (; x < width; ++x)
        if (flags[x]) fn(x);
}

// floor(v / 100) for 0 <= v <= 25550, by a multiply and a shift.
inline int div100(int v) { return (v * 5243) >> 19; }

// Remembers how recent ties were settled: photographs repeat colours, and
// replaying the extended evaluation costs far more than a look-up. Each
// entry holds the colour in its low 24 bits and the luminance + 1 above
// them (0 = empty).
class TieCache {
public:
    int gray(int r, int g, int b) {
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

#if defined(__x86_64__) || defined(__i386__)
#define HUELINE_HAVE_SSSE3_BLOCKS 1
// Sixteen pixels at a time with SSSE3's byte shuffles, which take the
// three channels apart and put the results back in three-byte pixels far
// more cheaply than the compiler's own vectorisation of these loops. Each
// block function handles the first width & ~15 pixels of a row, writing the
// same outputs and tie flags as the plain loops, and returns how many it
// did. Sums stay in 16-bit lanes: S <= 25500 for the gray weights.
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
    __m128i v[3];                  // the 48 source bytes
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

__attribute__((target("ssse3"))) int gray(const std::uint8_t* src, std::uint8_t* dst, int width, std::uint8_t* ties,
                                          std::uint8_t& any) {
    int bits = 0;
    const int n = width & ~15;
    for (int x = 0; x < n; x += 16) {
        const Channels16 c = load(src + 3 * x);
        __m128i q[2], t[2];
        const __m128i sums[2] = {graySum(c.rLo, c.gLo, c.bLo), graySum(c.rHi, c.gHi, c.bHi)};
        for (int h = 0; h < 2; ++h) {
            const __m128i s = _mm_add_epi16(sums[h], _mm_set1_epi16(50));
            q[h] = _mm_srli_epi16(_mm_mulhi_epu16(s, _mm_set1_epi16(std::int16_t(41944))), 6);
            t[h] = _mm_cmpeq_epi16(s, _mm_mullo_epi16(q[h], _mm_set1_epi16(100)));
        }
        const __m128i tie = _mm_packs_epi16(t[0], t[1]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ties + x), tie);
        bits |= _mm_movemask_epi8(tie);
        storeSpread(dst + 3 * x, _mm_packus_epi16(q[0], q[1]));
    }
    any |= std::uint8_t(bits != 0);
    return n;
}

// White where S > limit. For the gray weights S is the gray sum itself.
// For the threshold weights S = 299 R + 587 G + 110 B = 10 A - C with A the
// gray sum and C = R + 3 G, and with limit = 10 L0 + l1:
//   S > limit  <=>  A > L0 + floor((l1 + C) / 10)
//   S == limit <=>  A == L0 + floor((l1 + C) / 10) and 10 divides l1 + C
// which keeps every quantity in 16 bits.
template <LuminanceForm Form>
__attribute__((target("ssse3"))) inline void whiteAndTie(const Channels16& c, int limit, __m128i& white, __m128i& tie) {
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
    white = _mm_packs_epi16(w[0], w[1]);
    tie = _mm_packs_epi16(t[0], t[1]);
}

template <LuminanceForm Form>
__attribute__((target("ssse3"))) int threshold(const std::uint8_t* src, std::uint8_t* dst, int width, int limit,
                                               std::uint8_t* ties, std::uint8_t& any) {
    int bits = 0;
    const int n = width & ~15;
    for (int x = 0; x < n; x += 16) {
        __m128i white, tie;
        whiteAndTie<Form>(load(src + 3 * x), limit, white, tie);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ties + x), tie);
        bits |= _mm_movemask_epi8(tie);
        storeSpread(dst + 3 * x, white);
    }
    any |= std::uint8_t(bits != 0);
    return n;
}

__attribute__((target("ssse3"))) int colorSplit(const std::uint8_t* src, std::uint8_t* dst, int width, int limit,
                                                std::uint8_t* ties, std::uint8_t& any) {
    int bits = 0;
    const int n = width & ~15;
    for (int x = 0; x < n; x += 16) {
        const Channels16 c = load(src + 3 * x);
        __m128i white, tie;
        whiteAndTie<LuminanceForm::Gray>(c, limit, white, tie);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ties + x), tie);
        bits |= _mm_movemask_epi8(tie);
        for (int k = 0; k < 3; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x + 16 * k),
                             _mm_or_si128(c.v[k], _mm_shuffle_epi8(white, mask(kMasks.spread[k]))));
    }
    any |= std::uint8_t(bits != 0);
    return n;
}

}  // namespace blocks
#endif

// The block functions run where the processor has SSSE3 (every x86-64
// processor of the last fifteen years); the plain loops finish each row.
inline bool useBlocks() {
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    return __builtin_cpu_supports("ssse3");
#else
    return false;
#endif
}


HUELINE_ROW_LOOP void grayRow(const std::uint8_t* src, std::uint8_t* dst, int width, std::uint8_t* ties,
                              TieCache& cache, bool blocks) {
    // Sixteen-bit lanes throughout: S + 50 <= 25550, and S / 100 is the high
    // half of S * 41944 shifted by 6 more (exact below 43690).
    std::uint8_t any = 0;
    int start = 0;
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    if (blocks) start = blocks::gray(src, dst, width, ties, any);
#else
    (void)blocks;
#endif
    for (int x = start; x < width; ++x) {
        const std::uint16_t s = std::uint16_t(30 * src[3 * x + 2] + 59 * src[3 * x + 1] + 11 * src[3 * x] + 50);
        const std::uint16_t q = std::uint16_t((std::uint32_t(s) * 41944u) >> 22);
        const std::uint8_t tie = s == std::uint16_t(100 * q);  // the exact sum was q - 1/2, rounded up here
        ties[x] = tie;
        any |= tie;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = std::uint8_t(q);
    }
    if (!any) return;
    forEachFlagged(ties, width, [src, dst, &cache](int x) {
        const std::uint8_t v = std::uint8_t(cache.gray(src[3 * x + 2], src[3 * x + 1], src[3 * x]));
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    });
}

// A luminance of the form is greater than t exactly when S > limit, or
// S == limit and the tie rounds up, with limit = scale * t + scale / 2.
constexpr int limitFor(LuminanceForm form, int t) {
    const LuminanceWeights w = weightsOf(form);
    return w.scale * t + w.scale / 2;
}

// The per-row state of the threshold loops: the tie flags of one row and
// whether the block functions may run.
struct RowScratch {
    std::vector<std::uint8_t> ties;
    bool blocks;
    explicit RowScratch(int width) : ties(std::size_t(width)), blocks(useBlocks()) {}
};

template <LuminanceForm Form>
HUELINE_ROW_LOOP void thresholdRow(const std::uint8_t* src, std::uint8_t* dst, int width, int limit,
                                   RowScratch& scratch) {
    constexpr LuminanceWeights w = weightsOf(Form);
    std::uint8_t* ties = scratch.ties.data();
    std::uint8_t any = 0;
    int start = 0;
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    if (scratch.blocks) start = blocks::threshold<Form>(src, dst, width, limit, ties, any);
#endif
    for (int x = start; x < width; ++x) {
        const int s = w.red * src[3 * x + 2] + w.green * src[3 * x + 1] + w.blue * src[3 * x];
        const std::uint8_t tie = s == limit;
        ties[x] = tie;
        any |= tie;
        const std::uint8_t v = s > limit ? 255 : 0;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    }
    if (!any) return;
    forEachFlagged(ties, width, [src, dst](int x) {
        const std::uint8_t v = tieRoundsUp(Form, src[3 * x + 2], src[3 * x + 1], src[3 * x]) ? 255 : 0;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    });
}

HUELINE_ROW_LOOP void colorSplitRow(const std::uint8_t* src, std::uint8_t* dst, int width, int limit,
                                    RowScratch& scratch) {
    std::uint8_t* ties = scratch.ties.data();
    std::uint8_t any = 0;
    int start = 0;
#ifdef HUELINE_HAVE_SSSE3_BLOCKS
    if (scratch.blocks) start = blocks::colorSplit(src, dst, width, limit, ties, any);
#endif
    for (int x = start; x < width; ++x) {
        const std::uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        const int s = 30 * r + 59 * g + 11 * b;
        const std::uint8_t tie = s == limit;
        ties[x] = tie;
        any |= tie;
        const bool white = s > limit;
        dst[3 * x] = white ? 255 : b;
        dst[3 * x + 1] = white ? 255 : g;
        dst[3 * x + 2] = white ? 255 : r;
    }
    if (!any) return;
    forEachFlagged(ties, width, [src, dst](int x) {
        if (tieRoundsUp(LuminanceForm::Gray, src[3 * x + 2], src[3 * x + 1], src[3 * x]))
            dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = 255;
    });
}

template <typename RowFn>
WorkBitmap mapRows(const WorkBitmap& picture, RowFn fn) {
    const WorkBitmap in = picture.to24();
    WorkBitmap out = WorkBitmap::uninitialized24(in.width(), in.height());
    RowScratch scratch(in.width());
    for (int y = 0; y < in.height(); ++y) fn(in.row(y), out.row(y), in.width(), scratch);
    return out;
}

}  // namespace

void grayRows(const WorkBitmap& in24, WorkBitmap& out) {
    std::vector<std::uint8_t> ties(std::size_t(in24.width()));
    TieCache cache;
    const bool blocks = useBlocks();
    for (int y = 0; y < in24.height(); ++y)
        grayRow(in24.row(y), out.row(y), in24.width(), ties.data(), cache, blocks);
}

void thresholdRows(const WorkBitmap& in24, WorkBitmap& out, LuminanceForm form, int threshold) {
    const int limit = limitFor(form, threshold);
    RowScratch scratch(in24.width());
    for (int y = 0; y < in24.height(); ++y) {
        if (form == LuminanceForm::Gray)
            thresholdRow<LuminanceForm::Gray>(in24.row(y), out.row(y), in24.width(), limit, scratch);
        else
            thresholdRow<LuminanceForm::Threshold>(in24.row(y), out.row(y), in24.width(), limit, scratch);
    }
}

void colorSplitRows(const WorkBitmap& in24, WorkBitmap& out, int position) {
    const int limit = limitFor(LuminanceForm::Gray, position);
    RowScratch scratch(in24.width());
    for (int y = 0; y < in24.height(); ++y)
        colorSplitRow(in24.row(y), out.row(y), in24.width(), limit, scratch);
}

WorkBitmap grayPicture(const WorkBitmap& picture) {
    WorkBitmap out = WorkBitmap::uninitialized24(picture.width(), picture.height());
    grayRows(picture.to24(), out);
    return out;
}

WorkBitmap blackWhitePicture(const WorkBitmap& picture) {
    const int limit = limitFor(LuminanceForm::Threshold, kBlackWhiteThreshold);
    return mapRows(picture, [limit](const std::uint8_t* s, std::uint8_t* d, int w, RowScratch& r) {
        thresholdRow<LuminanceForm::Threshold>(s, d, w, limit, r);
    });
}

void BlackWhite(WorkBitmap& picture) { picture = blackWhitePicture(picture); }

WorkBitmap bwSplitPicture(const WorkBitmap& picture, int position) {
    const int limit = limitFor(LuminanceForm::Gray, position);
    return mapRows(picture, [limit](const std::uint8_t* s, std::uint8_t* d, int w, RowScratch& r) {
        thresholdRow<LuminanceForm::Gray>(s, d, w, limit, r);
    });
}

WorkBitmap colorSplitPicture(const WorkBitmap& picture, int position) {
    const int limit = limitFor(LuminanceForm::Gray, position);
    return mapRows(picture, [limit](const std::uint8_t* s, std::uint8_t* d, int w, RowScratch& r) {
        colorSplitRow(s, d, w, limit, r);
    });
}

}  // namespace hueline
