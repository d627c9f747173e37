// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/traced_outlines.h"

#include <potracelib.h>

#include <bit>
#include <climits>
#include <string>
#include <cstdint>
#include <new>
#include <vector>

#include "imaging/picture/luminance.h"

namespace hueline {

namespace {

// Dark, and traced, is below the fixed B&W threshold (128 itself stays light).
constexpr int kDarkBelow = kBlackWhiteThreshold;
constexpr int kWordBits = int(sizeof(potrace_word) * CHAR_BIT);

// The dark pixels as potrace's bitmap: one bit a pixel, the leftmost in
// each word's top bit, and (as in a BMP file) the picture's bottom row
// first, so that the curves come out as the potrace command draws them.
class DarkBitmap {
public:
    explicit DarkBitmap(const WorkBitmap& picture) {
        const WorkBitmap rgb = picture.format() == PixelFormat::Bits24 ? picture : picture.to24();
        bitmap_.w = rgb.width();
        bitmap_.h = rgb.height();
        bitmap_.dy = (rgb.width() + kWordBits - 1) / kWordBits;
        words_.assign(std::size_t(bitmap_.dy) * std::size_t(rgb.height()), 0);
        bitmap_.map = words_.data();
        const potrace_word* above = nullptr;
        for (int y = 0; y < rgb.height(); ++y) {
            potrace_word* line = words_.data() + std::size_t(bitmap_.dy) * std::size_t(rgb.height() - 1 - y);
            packRow(rgb.row(y), rgb.width(), line);
            countEdges(line, above);
            above = line;
        }
        countEdges(nullptr, above);
    }
    const potrace_bitmap_t* get() const { return &bitmap_; }
    // The length of all outlines together, in pixel sides: what the
    // tracer's memory grows with.
    std::uint64_t edges() const { return edges_; }

private:
    static void packRow(const std::uint8_t* bgr, int width, potrace_word* out) {
        potrace_word word = 0;
        int bits = 0;
        for (int x = 0; x < width; ++x, bgr += 3) {
            word = word << 1 | potrace_word(thresholdLuminance(bgr[2], bgr[1], bgr[0]) < kDarkBelow);
            if (++bits == kWordBits) {
                *out++ = word;
                word = 0;
                bits = 0;
            }
        }
        if (bits) *out = word << (kWordBits - bits);
    }

    // Sides between a row and the one above it (or the light beyond the
    // picture, for a null row), and between neighbours within the row.
    void countEdges(const potrace_word* line, const potrace_word* above) {
        potrace_word carry = 0;
        for (int i = 0; i < bitmap_.dy; ++i) {
            const potrace_word w = line ? line[i] : 0, up = above ? above[i] : 0;
            edges_ += std::uint64_t(std::popcount(w ^ up));
            edges_ += std::uint64_t(std::popcount(w ^ (w >> 1 | carry << (kWordBits - 1))));
            carry = w & 1;
        }
        edges_ += carry;  // a dark last pixel of a row filling its last word
    }

    potrace_bitmap_t bitmap_{};
    std::vector<potrace_word> words_;
    std::uint64_t edges_ = 0;
};

struct ParamFree {
    void operator()(potrace_param_t* p) const { potrace_param_free(p); }
};

}  // namespace

void TracedOutlines::StateFree::operator()(potrace_state_s* state) const { potrace_state_free(state); }

TracedOutlines::TracedOutlines(const WorkBitmap& picture) : width_(picture.width()), height_(picture.height()) {
    if (picture.empty()) return;  // nothing to trace, and potrace wants a bitmap
    const std::unique_ptr<potrace_param_t, ParamFree> param(potrace_param_default());
    if (!param) throw std::bad_alloc();
    {
        const DarkBitmap dark(picture);
        if (dark.edges() > kMaxTracedEdges)
            throw TooDetailedToTrace("The drawing is too detailed to trace: its outlines run " +
                                     std::to_string(dark.edges()) + " pixel sides, more than the " +
                                     std::to_string(kMaxTracedEdges) +
                                     " the tracer takes on. Save it as PNG, or make it simpler (Median, Erode) first.");
        state_.reset(potrace_trace(param.get(), dark.get()));
    }
    if (!state_ || state_->status != POTRACE_STATUS_OK) throw std::bad_alloc();
}

bool TracedOutlines::empty() const { return !state_ || !state_->plist; }

namespace {

void drawCurve(const potrace_curve_t& curve, double height, OutlineSink& sink) {
    auto at = [height](const potrace_dpoint_t& p) { return OutlinePoint{p.x, height - p.y}; };
    if (curve.n <= 0) return;
    sink.moveTo(at(curve.c[curve.n - 1][2]));
    for (int i = 0; i < curve.n; ++i) {
        const potrace_dpoint_t* c = curve.c[i];
        if (curve.tag[i] == POTRACE_CORNER) {
            sink.lineTo(at(c[1]));
            sink.lineTo(at(c[2]));
        } else {
            sink.curveTo(at(c[0]), at(c[1]), at(c[2]));
        }
    }
    sink.closeCurve();
}

}  // namespace

void TracedOutlines::draw(OutlineSink& sink) const {
    // Potrace's tree: an outline's children are its holes, a hole's
    // children the islands inside it. Islands wait on a stack of their own
    // rather than in recursion, however deep the nesting goes.
    std::vector<const potrace_path_t*> levels;
    if (!empty()) levels.push_back(state_->plist);
    while (!levels.empty()) {
        const potrace_path_t* first = levels.back();
        levels.pop_back();
        for (const potrace_path_t* p = first; p; p = p->sibling) {
            sink.beginShape();
            drawCurve(p->curve, height_, sink);
            for (const potrace_path_t* hole = p->childlist; hole; hole = hole->sibling) drawCurve(hole->curve, height_, sink);
            sink.endShape();
            for (const potrace_path_t* hole = p->childlist; hole; hole = hole->sibling)
                if (hole->childlist) levels.push_back(hole->childlist);
        }
    }
}

bool isBlackAndWhite(const WorkBitmap& picture) {
    const WorkBitmap rgb = picture.format() == PixelFormat::Bits24 ? picture : picture.to24();
    for (int y = 0; y < rgb.height(); ++y) {
        const std::uint8_t* p = rgb.constRow(y);
        unsigned other = 0;
        for (int x = 0; x < rgb.width(); ++x, p += 3)
            other |= unsigned(p[0] ^ p[1]) | unsigned(p[0] ^ p[2]) | unsigned(std::uint8_t(p[0] + 1) > 1);
        if (other) return false;
    }
    return true;
}

}  // namespace hueline
