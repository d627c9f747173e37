// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark program of the picture library: its main() and the
// baseline copy that every figure is read against.
#include "bench_common.h"

namespace hueline::bench {
namespace {

void Baseline_Copy(benchmark::State& state) { baselineCopy(state); }
HUELINE_BENCH_ALL(Baseline_Copy);

}  // namespace
}  // namespace hueline::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
