// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up for the benchmarks: the pictures every figure is reported
// on (a small and a 12-megapixel synthetic picture, and a real photograph),
// and the counters that put each operation beside a plain copy of the same
// picture.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include <cstdint>
#include <cstring>

#include "imaging/codecs/jpeg_codec.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline::bench {

// The two sizes: the window's design pane and a 12-megapixel photo.
inline constexpr int kSmallW = 386, kSmallH = 400;
inline constexpr int kLargeW = 4000, kLargeH = 3000;

// A photo-like 24-bit picture: smooth gradients with a little noise, so
// that both flat areas and edges occur, reproducible from the seed.
inline WorkBitmap photoLike(int width, int height, std::uint32_t seed = 1) {
    WorkBitmap p(width, height);
    std::uint32_t s = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noise = int(s >> 28) - 8;
            auto clamp = [](int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            r[3 * x] = clamp((x * 255) / (width ? width : 1) + noise);
            r[3 * x + 1] = clamp((y * 255) / (height ? height : 1) + noise);
            r[3 * x + 2] = clamp(((x + y) * 127) / (width + height ? width + height : 1) + 64 + noise);
        }
    }
    return p;
}

// A black-and-white picture of the same kind (thresholded blobs).
inline WorkBitmap blackWhiteLike(int width, int height) {
    WorkBitmap p(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < width; ++x) {
            const bool black = ((x / 7) ^ (y / 5)) % 3 == 0 || (x * x + y) % 97 < 20;
            std::memset(r + 3 * x, black ? 0 : 255, 3);
        }
    }
    return p;
}

// Adds megapixels per second to a benchmark that processed one picture
// of width x height per iteration.
inline void reportPixels(benchmark::State& state, int width, int height) {
    state.counters["MP/s"] = benchmark::Counter(double(width) * height / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * width * height * 3);
}

// The real photograph, 5312 x 2988, decoded once.
inline constexpr int kRealPhoto = 2;
inline const char* realPhotoPath() { return HUELINE_BENCH_DATA "/dandelions-5312x2988.jpg"; }
inline const WorkBitmap& realPhoto() {
    static const WorkBitmap photo = readJpegFile(realPhotoPath());
    return photo;
}

// The picture from the benchmark's argument: 0 small, 1 large (both
// photo-like), 2 the real photograph.
inline int widthFor(const benchmark::State& s) {
    return s.range(0) == kRealPhoto ? realPhoto().width() : s.range(0) ? kLargeW : kSmallW;
}
inline int heightFor(const benchmark::State& s) {
    return s.range(0) == kRealPhoto ? realPhoto().height() : s.range(0) ? kLargeH : kSmallH;
}
inline WorkBitmap inputFor(const benchmark::State& s) {
    return s.range(0) == kRealPhoto ? realPhoto() : photoLike(widthFor(s), heightFor(s));
}

// The yardstick every operation is measured against: a memcpy of the
// picture's bytes into a picture that is already allocated. Each benchmark
// program registers it, so that the figures of one run sit beside it.
inline void baselineCopy(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap src = inputFor(state);
    const std::size_t bytes = src.stride() * std::size_t(h);
    // Picture memory on both sides, as every operation has.
    WorkBitmap dst = WorkBitmap::uninitialized24(w, h);
    std::uint8_t* out = dst.row(0);
    for (auto _ : state) {
        std::memcpy(out, src.constRow(0), bytes);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    reportPixels(state, w, h);
}

inline double childCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs a shell command once per iteration; stops with an error if the
// program is missing or fails. Besides the wall-clock time it reports the
// processor time the program used (child_cpu_ms per run), which stays
// comparable with our own CPU time when the machine is busy.
inline void timeCommand(benchmark::State& state, const char* program, const std::string& command) {
    if (std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) != 0) {
        state.SkipWithError("program not installed");
        return;
    }
    const double before = childCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the program failed");
            break;
        }
    }
    if (state.iterations() > 0)
        state.counters["child_cpu_ms"] = (childCpuSeconds() - before) * 1000.0 / double(state.iterations());
}

}  // namespace hueline::bench

// Registers a benchmark at both synthetic sizes, reported in milliseconds;
// the second also on the real photograph.
#define HUELINE_BENCH_BOTH(fn) BENCHMARK(fn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
#define HUELINE_BENCH_ALL(fn) HUELINE_BENCH_BOTH(fn)->Arg(kRealPhoto)
