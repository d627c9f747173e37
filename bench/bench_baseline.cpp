// The yardstick every operation is measured against: a memcpy of the
// picture's bytes into a buffer that is already allocated.
#include <cstring>
#include <vector>

#include "bench_common.h"
#include "imaging/memory.h"

namespace hueline::bench {
namespace {

void Baseline_Copy(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    const WorkBitmap src = photoLike(w, h);
    const std::size_t bytes = src.stride() * std::size_t(h);
    std::vector<std::uint8_t> dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.row(0), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_BOTH(Baseline_Copy);

}  // namespace
}  // namespace hueline::bench

int main(int argc, char** argv) {
    // As the programs do: picture-sized blocks are reused, not remapped.
    hueline::keepPictureMemoryForReuse();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
