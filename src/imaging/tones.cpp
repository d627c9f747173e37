#include "imaging/tones.h"

#include <cstdint>
#include <cstring>
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

HUELINE_ROW_LOOP void grayRow(const std::uint8_t* src, std::uint8_t* dst, int width, std::uint8_t* ties,
                              TieCache& cache) {
    int any = 0;
    for (int x = 0; x < width; ++x) {
        const int s = 30 * src[3 * x + 2] + 59 * src[3 * x + 1] + 11 * src[3 * x] + 50;
        const int q = div100(s);
        const int tie = s == 100 * q;  // the exact sum was q - 1/2, rounded up here
        ties[x] = std::uint8_t(tie);
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

template <LuminanceForm Form>
HUELINE_ROW_LOOP void thresholdRow(const std::uint8_t* src, std::uint8_t* dst, int width, int limit) {
    constexpr LuminanceWeights w = weightsOf(Form);
    int ties = 0;
    for (int x = 0; x < width; ++x) {
        const int s = w.red * src[3 * x + 2] + w.green * src[3 * x + 1] + w.blue * src[3 * x];
        ties |= (s == limit);
        const std::uint8_t v = s > limit ? 255 : 0;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    }
    if (!ties) return;
    for (int x = 0; x < width; ++x) {
        const int b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        if (w.red * r + w.green * g + w.blue * b != limit) continue;
        const std::uint8_t v = tieRoundsUp(Form, r, g, b) ? 255 : 0;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    }
}

HUELINE_ROW_LOOP void colorSplitRow(const std::uint8_t* src, std::uint8_t* dst, int width, int limit) {
    int ties = 0;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        const int s = 30 * r + 59 * g + 11 * b;
        ties |= (s == limit);
        const bool white = s > limit;
        dst[3 * x] = white ? 255 : b;
        dst[3 * x + 1] = white ? 255 : g;
        dst[3 * x + 2] = white ? 255 : r;
    }
    if (!ties) return;
    for (int x = 0; x < width; ++x) {
        const int b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        if (30 * r + 59 * g + 11 * b != limit || !tieRoundsUp(LuminanceForm::Gray, r, g, b)) continue;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = 255;
    }
}

template <typename RowFn>
WorkBitmap mapRows(const WorkBitmap& picture, RowFn fn) {
    const WorkBitmap in = picture.to24();
    WorkBitmap out = WorkBitmap::uninitialized24(in.width(), in.height());
    for (int y = 0; y < in.height(); ++y) fn(in.row(y), out.row(y), in.width());
    return out;
}

}  // namespace

void grayRows(const WorkBitmap& in24, WorkBitmap& out) {
    std::vector<std::uint8_t> ties(std::size_t(in24.width()));
    TieCache cache;
    for (int y = 0; y < in24.height(); ++y) grayRow(in24.row(y), out.row(y), in24.width(), ties.data(), cache);
}

void thresholdRows(const WorkBitmap& in24, WorkBitmap& out, LuminanceForm form, int threshold) {
    const int limit = limitFor(form, threshold);
    for (int y = 0; y < in24.height(); ++y) {
        if (form == LuminanceForm::Gray)
            thresholdRow<LuminanceForm::Gray>(in24.row(y), out.row(y), in24.width(), limit);
        else
            thresholdRow<LuminanceForm::Threshold>(in24.row(y), out.row(y), in24.width(), limit);
    }
}

void colorSplitRows(const WorkBitmap& in24, WorkBitmap& out, int position) {
    const int limit = limitFor(LuminanceForm::Gray, position);
    for (int y = 0; y < in24.height(); ++y) colorSplitRow(in24.row(y), out.row(y), in24.width(), limit);
}

WorkBitmap grayPicture(const WorkBitmap& picture) {
    WorkBitmap out = WorkBitmap::uninitialized24(picture.width(), picture.height());
    grayRows(picture.to24(), out);
    return out;
}

WorkBitmap blackWhitePicture(const WorkBitmap& picture) {
    const int limit = limitFor(LuminanceForm::Threshold, kBlackWhiteThreshold);
    return mapRows(picture, [limit](const std::uint8_t* s, std::uint8_t* d, int w) {
        thresholdRow<LuminanceForm::Threshold>(s, d, w, limit);
    });
}

void BlackWhite(WorkBitmap& picture) { picture = blackWhitePicture(picture); }

WorkBitmap bwSplitPicture(const WorkBitmap& picture, int position) {
    const int limit = limitFor(LuminanceForm::Gray, position);
    return mapRows(picture, [limit](const std::uint8_t* s, std::uint8_t* d, int w) {
        thresholdRow<LuminanceForm::Gray>(s, d, w, limit);
    });
}

WorkBitmap colorSplitPicture(const WorkBitmap& picture, int position) {
    const int limit = limitFor(LuminanceForm::Gray, position);
    return mapRows(picture, [limit](const std::uint8_t* s, std::uint8_t* d, int w) { colorSplitRow(s, d, w, limit); });
}

}  // namespace hueline
