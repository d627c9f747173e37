// SPDX-License-Identifier: GPL-3.0-or-later
// The metafile record player on its own: walking and resolving the records
// of a drawing onto a surface that only counts, at the two picture sizes
// (about 2,000 shape groups, 0.6 MB, on the design size; 20,000, 6 MB, on
// the large one).
#include "bench_common.h"
#include "imaging/metafile/player.h"
#include "metafile_sample.h"

namespace hueline::bench {
namespace {

class CountingSurface : public meta::MetafileSurface {
public:
    std::size_t n = 0;
    void fillPath(const meta::Path& p, meta::FillRule, const meta::Brush&, meta::Mix, const meta::Background&) override {
        n += p.points.size();
    }
    void strokePath(const meta::Path& p, const meta::Pen&, meta::Mix, const meta::Background&) override {
        n += p.points.size();
    }
    double drawText(const meta::TextRun& r) override { return double(n += r.text.size()); }
    void drawBitmap(const meta::Dib&, const meta::SourceRect&, const meta::DestQuad&, const meta::Blit&) override { ++n; }
    void gradientRect(meta::Point, meta::Point, ColorValue, ColorValue, bool) override { ++n; }
    void gradientTriangle(const meta::GradientVertex&, const meta::GradientVertex&, const meta::GradientVertex&) override {
        ++n;
    }
    void clip(meta::ClipOp, const meta::Path&, meta::FillRule) override { ++n; }
    void resetClip() override {}
    void offsetClip(double, double) override {}
    void save() override {}
    void restore() override {}
};

void Metafile_PlayRecords(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const auto bytes = MetafileSample::emf(w, h, state.range(0) ? 20000 : 2000);
    for (auto _ : state) {
        CountingSurface s;
        playMetafile(bytes, "sample.emf", PictureKind::Emf, s);
        benchmark::DoNotOptimize(s.n);
    }
    reportPixels(state, w, h);
    state.counters["file MB"] = double(bytes.size()) / 1e6;
}
HUELINE_BENCH_BOTH(Metafile_PlayRecords);

}  // namespace
}  // namespace hueline::bench
