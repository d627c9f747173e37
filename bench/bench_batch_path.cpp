// SPDX-License-Identifier: GPL-3.0-or-later
// The whole way a picture takes through the command-line companion, on the
// real photograph: open the file, run commands in a workspace, save. Here
// every fresh picture's page faults show, and the first command after
// opening can be set beside the same command run again.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench_common.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/ops/convolution.h"
#include "imaging/session/commands.h"
#include "imaging/session/workspace.h"

namespace hueline::bench {
namespace {

namespace fs = std::filesystem;

// The commands measured, by the benchmark's argument.
void (*const kCommands[])(Workspace&) = {
    commands::gray,  commands::blackAndWhite, commands::median, commands::erode,
    [](Workspace& ws) { commands::fringe2(ws, kFringe2Defaults); },
};
const char* const kCommandNames[] = {"Gray", "B&W", "Median", "Erode", "Fringe 2"};

Workspace opened() {
    Workspace ws;
    ws.openPicture(readJpegFile(realPhotoPath()));
    return ws;
}

void reportPhoto(benchmark::State& state) {
    reportPixels(state, realPhoto().width(), realPhoto().height());
}

void BatchPath_OpenJpeg(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(readJpegFile(realPhotoPath()));
    reportPhoto(state);
}
BENCHMARK(BatchPath_OpenJpeg)->Unit(benchmark::kMillisecond);

// The command right after the picture was opened.
void BatchPath_FirstCommand(benchmark::State& state) {
    const auto command = kCommands[state.range(0)];
    for (auto _ : state) {
        state.PauseTiming();
        {
            Workspace ws = opened();
            state.ResumeTiming();
            command(ws);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetLabel(kCommandNames[state.range(0)]);
    reportPhoto(state);
}
BENCHMARK(BatchPath_FirstCommand)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The same command again and again on one workspace.
void BatchPath_SteadyCommand(benchmark::State& state) {
    const auto command = kCommands[state.range(0)];
    Workspace ws = opened();
    command(ws);
    for (auto _ : state) command(ws);
    state.SetLabel(kCommandNames[state.range(0)]);
    reportPhoto(state);
}
BENCHMARK(BatchPath_SteadyCommand)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// Open, Gray, save: as a JPEG (0) or a BMP (1).
void BatchPath_Whole(benchmark::State& state) {
    std::string folder = (fs::temp_directory_path() / "hueline-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) throw std::runtime_error("cannot make a temporary folder");
    const bool jpeg = state.range(0) == 0;
    const std::string out = folder + (jpeg ? "/out.jpg" : "/out.bmp");
    for (auto _ : state) {
        Workspace ws = opened();
        commands::gray(ws);
        if (jpeg) writeJpegFile(ws.resultPane(), out);
        else writeBmpFile(ws.resultPane(), out);
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    state.SetLabel(jpeg ? "to JPEG" : "to BMP");
    reportPhoto(state);
}
BENCHMARK(BatchPath_Whole)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hueline::bench
