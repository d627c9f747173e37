// SPDX-License-Identifier: GPL-3.0-or-later
// PNG beside JPEG and beside libspng itself, on 12-megapixel pictures:
//   Png_EncodePen / Jpeg_EncodePen   saving a pen-and-ink result (the file
//                                    sizes are the counters "bytes")
//   Png_Decode / Png_BareDecode      opening a photo PNG, and libspng's own
//                                    decode of the same bytes into one RGB
//                                    buffer
// and on the real photograph (16 megapixels, beside its copy):
//   Png_EncodePhoto / Png_PillowPhoto  saving it as PNG, and Pillow saving
//                                      the same photo at zlib level 6 (its
//                                      processor time, measured by Pillow's
//                                      own process); "bytes" the file sizes
#include <spng.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench_common.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/ops/morphology.h"
#include "imaging/ops/resampling.h"

namespace hueline::bench {
namespace {

// A real photo brought to 4000 x 3000, and its pen-and-ink drawing.
const WorkBitmap& photo() {
    static const WorkBitmap p =
        areaResample(readJpegFile(std::string(HUELINE_TEST_DATA) + "/jpeg/reftest/mjpeg.jpg"), kLargeW, kLargeH);
    return p;
}

const WorkBitmap& penDrawing() {
    static const WorkBitmap p = penAndInkBlackWhite(photo());
    return p;
}

const std::vector<std::uint8_t>& photoPng() {
    static const std::vector<std::uint8_t> bytes = encodePng(photo());
    return bytes;
}

void Png_EncodePen(benchmark::State& state) {
    const WorkBitmap& drawing = penDrawing();
    std::size_t size = 0;
    for (auto _ : state) size = encodePng(drawing).size();
    state.counters["bytes"] = double(size);
    reportPixels(state, kLargeW, kLargeH);
}
BENCHMARK(Png_EncodePen)->Unit(benchmark::kMillisecond)->UseRealTime();

void Jpeg_EncodePen(benchmark::State& state) {
    const WorkBitmap& drawing = penDrawing();
    std::size_t size = 0;
    for (auto _ : state) size = encodeJpeg(drawing).size();
    state.counters["bytes"] = double(size);
    reportPixels(state, kLargeW, kLargeH);
}
BENCHMARK(Jpeg_EncodePen)->Unit(benchmark::kMillisecond)->UseRealTime();

void Png_Decode(benchmark::State& state) {
    const std::vector<std::uint8_t>& png = photoPng();
    for (auto _ : state) benchmark::DoNotOptimize(decodePng(png, "photo.png"));
    reportPixels(state, kLargeW, kLargeH);
}
BENCHMARK(Png_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();

void Png_BareDecode(benchmark::State& state) {
    const std::vector<std::uint8_t>& png = photoPng();
    for (auto _ : state) {
        std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), &spng_ctx_free);
        spng_set_png_buffer(ctx.get(), png.data(), png.size());
        std::size_t size = 0;
        spng_decoded_image_size(ctx.get(), SPNG_FMT_RGB8, &size);
        std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[size]);
        if (spng_decode_image(ctx.get(), out.get(), size, SPNG_FMT_RGB8, 0) != 0)
            throw std::runtime_error("libspng could not decode the photo");
        benchmark::DoNotOptimize(out.get());
    }
    reportPixels(state, kLargeW, kLargeH);
}
BENCHMARK(Png_BareDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void Png_EncodePhoto(benchmark::State& state) {
    const WorkBitmap& photo = realPhoto();
    std::size_t size = 0;
    for (auto _ : state) size = encodePng(photo).size();
    state.counters["bytes"] = double(size);
    reportPixels(state, photo.width(), photo.height());
}
BENCHMARK(Png_EncodePhoto)->Arg(kRealPhoto)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Pillow's save only, timed inside its process in processor time; the
// photo is decoded before the clock starts.
void Png_PillowPhoto(benchmark::State& state) {
    const std::string command = std::string("/usr/bin/python3 -c \"import io, sys, time\n"
                                            "from PIL import Image\n"
                                            "im = Image.open(sys.argv[1]).convert('RGB'); im.load()\n"
                                            "t = time.process_time(); out = io.BytesIO()\n"
                                            "im.save(out, 'PNG', compress_level=6)\n"
                                            "print(time.process_time() - t, len(out.getvalue()))\" '") +
                                realPhotoPath() + "' 2>/dev/null";
    double bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
        double seconds = 0;
        if (!pipe || std::fscanf(pipe.get(), "%lf %lf", &seconds, &bytes) != 2) {
            state.SkipWithError("python3-pil is not installed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["bytes"] = bytes;
    reportPixels(state, realPhoto().width(), realPhoto().height());
}
BENCHMARK(Png_PillowPhoto)->Arg(kRealPhoto)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace
}  // namespace hueline::bench
