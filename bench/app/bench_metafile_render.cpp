// SPDX-License-Identifier: GPL-3.0-or-later
// A whole metafile drawn into its picture: records played with QPainter in
// bands and the bands copied into the 24-bit picture, at the two picture
// sizes (the same drawings as Metafile_PlayRecords). Runs inside the window
// benchmark program, beside its Baseline_Copy.
#include "../bench_common.h"
#include "../metafile_sample.h"
#include "render/metafile_painter.h"

namespace hueline::bench {
namespace {

void Metafile_Render(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const auto bytes = MetafileSample::emf(w, h, state.range(0) ? 20000 : 2000);
    for (auto _ : state) {
        WorkBitmap picture = renderMetafile(bytes, "sample.emf", PictureKind::Emf);
        benchmark::DoNotOptimize(picture.constRow(0));
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_BOTH(Metafile_Render);

// An empty drawing of the same size: the fixed cost of the white picture,
// the band buffer and the copy into 24 bits.
void Metafile_RenderEmpty(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const auto bytes = MetafileSample::emf(w, h, 0);
    for (auto _ : state) {
        WorkBitmap picture = renderMetafile(bytes, "empty.emf", PictureKind::Emf);
        benchmark::DoNotOptimize(picture.constRow(0));
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_BOTH(Metafile_RenderEmpty);

// A metafile whose natural size is 14031 x 9921 (an A4 page at 1200 dots
// per inch): mostly the cost of its 139-megapixel picture.
void Metafile_RenderHuge(benchmark::State& state) {
    constexpr int w = 14031, h = 9921;
    const auto bytes = MetafileSample::emf(w, h, 20000);
    for (auto _ : state) {
        WorkBitmap picture = renderMetafile(bytes, "huge.emf", PictureKind::Emf);
        benchmark::DoNotOptimize(picture.constRow(0));
    }
    reportPixels(state, w, h);
}
BENCHMARK(Metafile_RenderHuge)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace hueline::bench
