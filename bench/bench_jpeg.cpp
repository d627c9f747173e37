// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG decoding and encoding of a photo-like picture, beside libjpeg's own
// command-line programs doing the same work on the same files (djpeg and
// cjpeg with our settings, run through the shell in the timed loop). All
// figures are wall-clock time, since the programs run in child processes.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench_common.h"
#include "imaging/codecs/jpeg_codec.h"

namespace hueline::bench {
namespace {

namespace fs = std::filesystem;

// The picture of one size, its JPEG bytes and both as files in a private
// folder that is removed when the program ends.
struct JpegFiles {
    WorkBitmap picture;
    std::vector<std::uint8_t> jpeg;
    fs::path folder, jpegFile, ppmFile, outFile;
    ~JpegFiles() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

const JpegFiles& filesFor(const benchmark::State& state) {
    static std::map<int, std::unique_ptr<JpegFiles>> cache;
    auto& slot = cache[int(state.range(0))];
    if (slot) return *slot;
    slot = std::make_unique<JpegFiles>();
    JpegFiles& f = *slot;
    f.picture = inputFor(state);
    f.jpeg = encodeJpeg(f.picture);
    std::string tmpl = (fs::temp_directory_path() / "hueline-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
    f.folder = tmpl;
    f.jpegFile = f.folder / "photo.jpg";
    f.ppmFile = f.folder / "photo.ppm";
    f.outFile = f.folder / "out.jpg";
    std::ofstream(f.jpegFile, std::ios::binary).write(reinterpret_cast<const char*>(f.jpeg.data()),
                                                      std::streamsize(f.jpeg.size()));
    std::ofstream ppm(f.ppmFile, std::ios::binary);
    ppm << "P6\n" << f.picture.width() << ' ' << f.picture.height() << "\n255\n";
    std::vector<char> rgb(3 * std::size_t(f.picture.width()));
    for (int y = 0; y < f.picture.height(); ++y) {
        const std::uint8_t* r = f.picture.constRow(y);
        for (int x = 0; x < f.picture.width(); ++x) {
            rgb[3 * std::size_t(x)] = char(r[3 * x + 2]);
            rgb[3 * std::size_t(x) + 1] = char(r[3 * x + 1]);
            rgb[3 * std::size_t(x) + 2] = char(r[3 * x]);
        }
        ppm.write(rgb.data(), std::streamsize(rgb.size()));
    }
    return f;
}

void Jpeg_Decode(benchmark::State& state) {
    const JpegFiles& f = filesFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(decodeJpeg(f.jpeg, "photo.jpg"));
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Jpeg_Decode)->UseRealTime();

void Jpeg_ReadFile(benchmark::State& state) {
    const JpegFiles& f = filesFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(readJpegFile(f.jpegFile.string()));
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Jpeg_ReadFile)->UseRealTime();

// libjpeg's own decoder on the same file, output thrown away.
void Jpeg_Djpeg(benchmark::State& state) {
    const JpegFiles& f = filesFor(state);
    timeCommand(state, "djpeg", "exec djpeg -dct float -outfile /dev/null '" + f.jpegFile.string() + "'");
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Jpeg_Djpeg)->UseRealTime();

void Jpeg_Encode(benchmark::State& state) {
    const JpegFiles& f = filesFor(state);
    for (auto _ : state) benchmark::DoNotOptimize(encodeJpeg(f.picture));
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Jpeg_Encode)->UseRealTime();

// Encoding plus the safe write (temporary file, flush to disk, rename).
void Jpeg_WriteFile(benchmark::State& state) {
    const JpegFiles& f = filesFor(state);
    for (auto _ : state) writeJpegFile(f.picture, f.outFile.string());
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Jpeg_WriteFile)->UseRealTime();

// libjpeg's own encoder on the same picture (read from a PPM file).
void Jpeg_Cjpeg(benchmark::State& state) {
    const JpegFiles& f = filesFor(state);
    timeCommand(state, "cjpeg",
                "exec cjpeg -quality 90 -baseline -dct float -outfile /dev/null '" + f.ppmFile.string() + "'");
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Jpeg_Cjpeg)->UseRealTime();

}  // namespace
}  // namespace hueline::bench
