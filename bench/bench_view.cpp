// SPDX-License-Identifier: GPL-3.0-or-later
// The view: zoom's area-averaging stretch, the preview's fit into its
// frame, and the freehand stamp.
#include "bench_common.h"
#include "imaging/ops/freehand.h"
#include "imaging/ops/resampling.h"

namespace hueline::bench {
namespace {

// Zoom out: the stretch to 0.8 times the size, allocation included.
void Zoom_Out(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(zoomedPicture(in, w, h, 0.8));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Zoom_Out);

// Zoom in: 1.25 times the size.
void Zoom_In(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(zoomedPicture(in, w, h, 1.25));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Zoom_In);

// The preview of the picture in the 386 x 400 frame.
void FitToPane_Frame(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(FitToPane(in, 386, 400));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(FitToPane_Frame);

// One brush stamp (833 reads and writes through the canvas).
void Stamp_Brush(benchmark::State& state) {
    WorkBitmap p = photoLike(kSmallW, kSmallH);
    int x = 0;
    for (auto _ : state) {
        stamp(p, x, 100, StampTool::Brush, makeColor(200, 10, 10));
        x = (x + 7) % 350;
    }
}
BENCHMARK(Stamp_Brush)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hueline::bench
