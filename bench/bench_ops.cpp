// SPDX-License-Identifier: GPL-3.0-or-later
// The colour and black-and-white neighbourhood operations: the three
// fringe methods, Sharpen, Median, Inverse, and Erode, Dilate, Thin and
// Pen-and-ink. Each figure is the whole computation one click runs on the
// result pane's picture (the output picture's allocation included), with
// the default coefficients; the morphology commands include their
// thresholding.
#include "bench_common.h"
#include "imaging/ops/invert.h"
#include "imaging/ops/convolution.h"
#include "imaging/ops/morphology.h"
#include "imaging/ops/rank_filters.h"
#include "imaging/ops/routines.h"
#include "imaging/ops/tones.h"

namespace hueline::bench {
namespace {

void Fringe1_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) {
        WorkBitmap work;
        CopyMe(work, in);
        Convolve(kFringe1Defaults, 1, work);
        benchmark::DoNotOptimize(work);
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Fringe1_Command);

void Fringe2_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(fringePicture(in, kFringe2Defaults, kFringe2BuiltIn));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Fringe2_Command);

void Fringe3_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(fringePicture(in, kFringe3Defaults, kFringe3BuiltIn));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Fringe3_Command);

// Coefficients too large for the 16-bit sums: the 32-bit path.
void Fringe1_LargeCoefficients(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    const Kernel k = {100, 200, 100, 0, 1, 0, -100, -200, -100};
    for (auto _ : state) {
        WorkBitmap work = in;
        Convolve(k, 1, work);
        benchmark::DoNotOptimize(work);
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Fringe1_LargeCoefficients);

void Sharpen_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(sharpenPicture(in));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Sharpen_Command);

void Median_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(medianPicture(in));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Median_Command);

// Inverse works on its own copy of the result pane's picture, which shares
// the pane's pixels until the inversion writes.
void Inverse_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) {
        WorkBitmap work = in;
        invertPicture(work);
        benchmark::DoNotOptimize(work);
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Inverse_Command);

// Erode, Dilate and Pen-and-ink start from a colour photo, which their
// thresholding turns black and white; Thin works on a black-and-white one.
void Erode_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(erodedBlackWhite(in));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Erode_Command);

void Dilate_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(dilatedBlackWhite(in));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Dilate_Command);

void PenAndInk_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = inputFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(penAndInkBlackWhite(in));
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(PenAndInk_Command);

// A black-and-white picture: blobs, or the real photograph after B&W.
WorkBitmap blackWhiteInputFor(const benchmark::State& state) {
    if (state.range(0) == kRealPhoto) return blackWhitePicture(realPhoto());
    return blackWhiteLike(widthFor(state), heightFor(state));
}

void Thin_Command(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = blackWhiteInputFor(state);
    for (auto _ : state) {
        WorkBitmap work = in;
        ThinLine(work);
        benchmark::DoNotOptimize(work);
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Thin_Command);

// The separate steps on a picture that is already black and white.
void Erode_Step(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap in = blackWhiteInputFor(state);
    for (auto _ : state) {
        WorkBitmap work = in;
        ErodePels(work);
        benchmark::DoNotOptimize(work);
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_ALL(Erode_Step);

}  // namespace
}  // namespace hueline::bench
