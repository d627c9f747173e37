// SPDX-License-Identifier: GPL-3.0-or-later
// Traced SVG and PDF files beside the potrace command on the same bitmap:
// a pen-and-ink drawing of the real photograph brought to 12 megapixels.
//   Trace_BesidePotrace/0  SVG, against `potrace -s`
//   Trace_BesidePotrace/1  PDF, against `potrace -b pdf`
// The time is our CPU time for making the file's bytes from the picture;
// potrace's is the CPU time of the command (reading a PBM file of the
// drawing, tracing, writing its file). Counters: both times, both sizes,
// and the ratios ours / potrace's.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench_common.h"
#include "imaging/codecs/pdf_writer.h"
#include "imaging/codecs/svg_writer.h"
#include "imaging/ops/morphology.h"
#include "imaging/ops/resampling.h"
#include "imaging/picture/luminance.h"

namespace hueline::bench {
namespace {

const WorkBitmap& penDrawing() {
    static const WorkBitmap p = penAndInkBlackWhite(areaResample(realPhoto(), kLargeW, kLargeH));
    return p;
}

// The drawing as a PBM file for the potrace command: dark pixels are 1.
std::string penDrawingPbm() {
    const WorkBitmap& p = penDrawing();
    const std::string path = (std::filesystem::temp_directory_path() / "hueline-bench-pen.pbm").string();
    std::ofstream out(path, std::ios::binary);
    out << "P4\n" << p.width() << ' ' << p.height() << '\n';
    std::string row(std::size_t(p.width() + 7) / 8, '\0');
    for (int y = 0; y < p.height(); ++y) {
        std::fill(row.begin(), row.end(), '\0');
        const std::uint8_t* px = p.constRow(y);
        for (int x = 0; x < p.width(); ++x, px += 3)
            if (thresholdLuminance(px[2], px[1], px[0]) < 128) row[std::size_t(x) / 8] |= char(0x80 >> (x % 8));
        out.write(row.data(), std::streamsize(row.size()));
    }
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double childrenSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

void Trace_BesidePotrace(benchmark::State& state) {
    const bool pdf = state.range(0) == 1;
    const WorkBitmap& drawing = penDrawing();
    static const std::string pbm = penDrawingPbm();
    const std::string theirs = pbm + (pdf ? ".pdf" : ".svg");
    const std::string command = std::string("potrace ") + (pdf ? "-b pdf" : "-s") + " -o '" + theirs + "' '" + pbm + "'";
    double oursSeconds = 0, theirSeconds = 0;
    std::size_t oursBytes = 0;
    for (auto _ : state) {
        const double start = processSeconds();
        oursBytes = (pdf ? encodePdf(drawing) : encodeSvg(drawing)).size();
        const double took = processSeconds() - start;
        oursSeconds += took;
        state.SetIterationTime(took);
        const double before = childrenSeconds();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the potrace command did not run");
            return;
        }
        theirSeconds += childrenSeconds() - before;
    }
    const double theirBytes = double(std::filesystem::file_size(theirs));
    const double n = double(state.iterations());
    state.counters["ours_ms"] = oursSeconds / n * 1e3;
    state.counters["potrace_ms"] = theirSeconds / n * 1e3;
    state.counters["time_ratio"] = oursSeconds / theirSeconds;
    state.counters["ours_bytes"] = double(oursBytes);
    state.counters["potrace_bytes"] = theirBytes;
    state.counters["size_ratio"] = double(oursBytes) / theirBytes;
    reportPixels(state, kLargeW, kLargeH);
}
BENCHMARK(Trace_BesidePotrace)->Arg(0)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hueline::bench
