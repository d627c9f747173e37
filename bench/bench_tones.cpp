// SPDX-License-Identifier: GPL-3.0-or-later
// Gray, B&W and the splits. "Kernel" figures write into an output that is
// already allocated, like the baseline copy; "Command" figures are the
// whole computation a click runs, allocation included.
#include "bench_common.h"
#include "imaging/ops/tones.h"

namespace hueline::bench {
namespace {

void Gray_Kernel(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);
    for (auto _ : state) {
        grayRows(in, out);
        benchmark::ClobberMemory();
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Gray_Kernel);

void BlackWhite_Kernel(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);
    for (auto _ : state) {
        thresholdRows(in, out, LuminanceForm::Threshold, kBlackWhiteThreshold);
        benchmark::ClobberMemory();
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(BlackWhite_Kernel);

void BwSplit_Kernel(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);
    for (auto _ : state) {
        thresholdRows(in, out, LuminanceForm::Gray, 125);
        benchmark::ClobberMemory();
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(BwSplit_Kernel);

void ColorSplit_Kernel(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);
    for (auto _ : state) {
        colorSplitRows(in, out, 125);
        benchmark::ClobberMemory();
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(ColorSplit_Kernel);

void Gray_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(grayPicture(in));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Gray_Command);

void BwSplit_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(bwSplitPicture(in, 125));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(BwSplit_Command);

}  // namespace
}  // namespace hueline::bench
