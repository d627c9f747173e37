// SPDX-License-Identifier: GPL-3.0-or-later
// BMP reading and writing of a photo-like 24-bit picture: from bytes in
// memory and from a file, to bytes in memory and to a file. Put them
// beside Baseline_Copy of the same size.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench_common.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/file_io.h"

namespace hueline::bench {
namespace {

namespace fs = std::filesystem;

// The picture of one size, its BMP bytes and the same as a file in a
// private folder that is removed when the program ends.
struct BmpFiles {
    WorkBitmap picture;
    PictureBytes bmp;
    fs::path folder, bmpFile, outFile;
    ~BmpFiles() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

const BmpFiles& filesFor(const benchmark::State& state) {
    static std::map<int, std::unique_ptr<BmpFiles>> cache;
    auto& slot = cache[int(state.range(0))];
    if (slot) return *slot;
    slot = std::make_unique<BmpFiles>();
    BmpFiles& f = *slot;
    f.picture = inputFor(state);
    f.bmp = encodeBmp(f.picture);
    std::string tmpl = (fs::temp_directory_path() / "hueline-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
    f.folder = tmpl;
    f.bmpFile = f.folder / "photo.bmp";
    f.outFile = f.folder / "out.bmp";
    writeFileAtomically(f.bmpFile.string(), f.bmp);
    return f;
}

void Bmp_DecodeFromMemory(benchmark::State& state) {
    const BmpFiles& f = filesFor(state);
    for (auto _ : state) {
        WorkBitmap p = decodeBmp(f.bmp, "photo.bmp");
        benchmark::DoNotOptimize(p.constRow(0));
    }
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Bmp_DecodeFromMemory);

void Bmp_ReadFile(benchmark::State& state) {
    const BmpFiles& f = filesFor(state);
    const std::string name = f.bmpFile.string();
    for (auto _ : state) {
        WorkBitmap p = readBmpFile(name);
        benchmark::DoNotOptimize(p.constRow(0));
    }
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Bmp_ReadFile);

void Bmp_EncodeToMemory(benchmark::State& state) {
    const BmpFiles& f = filesFor(state);
    for (auto _ : state) {
        PictureBytes bytes = encodeBmp(f.picture);
        benchmark::DoNotOptimize(bytes.data());
    }
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Bmp_EncodeToMemory);

// Includes writing the temporary file, flushing it to the disk and the
// rename that replaces the old file.
void Bmp_WriteFile(benchmark::State& state) {
    const BmpFiles& f = filesFor(state);
    const std::string name = f.outFile.string();
    for (auto _ : state) writeBmpFile(f.picture, name);
    reportPixels(state, f.picture.width(), f.picture.height());
}
HUELINE_BENCH_ALL(Bmp_WriteFile);

}  // namespace
}  // namespace hueline::bench
