// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark program of the picture library: its main() and the
// baseline copy that every figure is read against.
#include "bench_common.h"
#include "imaging/picture/memory.h"

namespace hueline::bench {
namespace {

void Baseline_Copy(benchmark::State& state) { baselineCopy(state); }
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
