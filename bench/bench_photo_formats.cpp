// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a 12-megapixel photo as HEIF, AVIF, WebP and TIFF, beside each
// library's own command-line decoder on the same file (heif-convert,
// dwebp, tiff2rgba; output to /dev/null, or to memory), and the
// conversion of a 12-megapixel picture from an Adobe RGB profile to sRGB.
// All beside Baseline_Copy of the 12-megapixel size (argument 1).
//
// The photo is the real photograph cut to 4000 x 3000, written once with
// Debian's encoders (heif-enc, cwebp, ImageMagick) into a private folder.
// child_cpu_ms gives the tools' processor time, which stays comparable
// with our own when the machine is busy.
#include <lcms2.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bench_common.h"
#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/heif_codec.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/tiff_codec.h"
#include "imaging/codecs/webp_codec.h"

namespace hueline::bench {
namespace {

namespace fs = std::filesystem;

struct PhotoFiles {
    WorkBitmap picture;
    fs::path folder;
    ~PhotoFiles() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string path(const char* name) const { return (folder / name).string(); }
};

// A shell command from its words; each path is put in quotes.
std::string shell(std::initializer_list<std::string_view> words) {
    std::string command;
    for (const std::string_view w : words) command.append(w).append(" ");
    return command;
}
std::string quoted(const std::string& path) { return "'" + path + "'"; }

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

const PhotoFiles& files() {
    static const std::unique_ptr<PhotoFiles> made = [] {
        auto f = std::make_unique<PhotoFiles>();
        const WorkBitmap& photo = realPhoto();
        f->picture = WorkBitmap::uninitialized24(kLargeW, kLargeH);
        for (int y = 0; y < kLargeH; ++y) std::memcpy(f->picture.row(y), photo.constRow(y), std::size_t(kLargeW) * 3);
        std::string tmpl = (fs::temp_directory_path() / "hueline-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
        f->folder = tmpl;
        writePngFile(f->picture, f->path("photo.png"));
        const std::string in = quoted(f->path("photo.png"));
        run(shell({"heif-enc -q 90", in, "-o", quoted(f->path("photo.heic")), ">/dev/null 2>&1"}));
        run(shell({"heif-enc -q 90 -p speed=9", in, "-o", quoted(f->path("photo.avif")), ">/dev/null 2>&1"}));
        run(shell({"cwebp -quiet -q 90", in, "-o", quoted(f->path("photo.webp"))}));
        run(shell({"convert", in, "-compress LZW", quoted(f->path("photo.tif"))}));
        // heif-convert picks its writer by the ending: raw frames, to nowhere.
        fs::create_symlink("/dev/null", f->folder / "null.y4m");
        return f;
    }();
    return *made;
}

template <class Decode>
void timeOpen(benchmark::State& state, const char* file, Decode decode) {
    const PhotoFiles& f = files();
    if (!fs::exists(f.path(file))) {
        state.SkipWithError("the encoder is not installed");
        return;
    }
    const std::vector<std::uint8_t> bytes = readFileBytes(f.path(file));
    for (auto _ : state) benchmark::DoNotOptimize(decode(bytes, f.path(file)));
    reportPixels(state, kLargeW, kLargeH);
}

void Photo_OpenHeic(benchmark::State& state) {
    timeOpen(state, "photo.heic", [](const auto& b, const std::string& n) { return decodeHeif(b, n); });
}
void Photo_HeifConvertHeic(benchmark::State& state) {
    const PhotoFiles& f = files();
    timeCommand(state, "heif-convert", shell({"exec heif-convert", quoted(f.path("photo.heic")), quoted(f.path("null.y4m")), ">/dev/null"}));
    reportPixels(state, kLargeW, kLargeH);
}
void Photo_OpenAvif(benchmark::State& state) {
    timeOpen(state, "photo.avif", [](const auto& b, const std::string& n) { return decodeHeif(b, n); });
}
void Photo_HeifConvertAvif(benchmark::State& state) {
    const PhotoFiles& f = files();
    timeCommand(state, "heif-convert", shell({"exec heif-convert", quoted(f.path("photo.avif")), quoted(f.path("null.y4m")), ">/dev/null"}));
    reportPixels(state, kLargeW, kLargeH);
}
void Photo_OpenWebp(benchmark::State& state) {
    timeOpen(state, "photo.webp", [](const auto& b, const std::string& n) { return decodeWebp(b, n); });
}
void Photo_Dwebp(benchmark::State& state) {
    const PhotoFiles& f = files();
    timeCommand(state, "dwebp", shell({"exec dwebp -quiet", quoted(f.path("photo.webp")), "-ppm -o /dev/null"}));
    reportPixels(state, kLargeW, kLargeH);
}
void Photo_OpenTiff(benchmark::State& state) {
    timeOpen(state, "photo.tif", [](const auto& b, const std::string& n) { return decodeTiff(b, n); });
}
void Photo_Tiff2rgba(benchmark::State& state) {
    const PhotoFiles& f = files();
    // tiff2rgba writes a TIFF file, which must be seekable: into memory.
    const fs::path out = fs::exists("/dev/shm") ? fs::path("/dev/shm") / (f.folder.filename().string() + ".tif")
                                                : f.folder / "out.tif";
    timeCommand(state, "tiff2rgba", shell({"exec tiff2rgba -c none", quoted(f.path("photo.tif")), quoted(out.string())}));
    std::error_code ec;
    fs::remove(out, ec);
    reportPixels(state, kLargeW, kLargeH);
}

// An Adobe RGB (1998) profile as cameras write it: its primaries, D65
// white, a gamma of 563/256.
std::vector<std::uint8_t> adobeRgbProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(gamma);
    return bytes;
}

// The conversion alone, on a fresh copy of the picture each time (the
// copy is not timed).
void Photo_ConvertToSrgb(benchmark::State& state) {
    const PhotoFiles& f = files();
    const std::vector<std::uint8_t> profile = adobeRgbProfile();
    WorkBitmap picture = WorkBitmap::uninitialized24(kLargeW, kLargeH);
    const std::size_t bytes = picture.stride() * std::size_t(kLargeH);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(picture.row(0), f.picture.constRow(0), bytes);
        state.ResumeTiming();
        convertToSrgb(picture, profile, "photo.jpg");
        benchmark::ClobberMemory();
    }
    reportPixels(state, kLargeW, kLargeH);
}

}  // namespace

// Processor time of the whole process: libheif decodes on threads of its
// own, and the tools' child_cpu_ms counts all of theirs.
#define HUELINE_BENCH_12MP(fn) \
    BENCHMARK(fn)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()
HUELINE_BENCH_12MP(Photo_OpenHeic);
HUELINE_BENCH_12MP(Photo_HeifConvertHeic);
HUELINE_BENCH_12MP(Photo_OpenAvif);
HUELINE_BENCH_12MP(Photo_HeifConvertAvif);
HUELINE_BENCH_12MP(Photo_OpenWebp);
HUELINE_BENCH_12MP(Photo_Dwebp);
HUELINE_BENCH_12MP(Photo_OpenTiff);
HUELINE_BENCH_12MP(Photo_Tiff2rgba);
HUELINE_BENCH_12MP(Photo_ConvertToSrgb);

}  // namespace hueline::bench
