// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the WebP reader (our wrapper around libwebp's demuxer and
// incremental decoder) on arbitrary bytes, at full size and reduced for a
// preview. A refused file (FileError) is the expected answer to a broken
// one. Canvases over a few megapixels are skipped: the reader takes them
// as it should, and they only slow the fuzzer down.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/picture/errors.h"

namespace {

constexpr std::uint64_t kMaxFuzzPixels = 4u << 20;

bool tooLarge(const std::uint8_t* data, std::size_t size) {
    const WebPData bytes{data, size};
    WebPDemuxState state;
    WebPDemuxer* demux = WebPDemuxPartial(&bytes, &state);
    if (!demux) return false;
    const std::uint64_t pixels = std::uint64_t(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH)) *
                                 WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    WebPDemuxDelete(demux);
    return pixels > kMaxFuzzPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (tooLarge(data, size)) return 0;
    const std::span<const std::uint8_t> bytes(data, size);
    std::string warnings;
    hueline::fuzzing::touchUnlessRefused([&] { return hueline::decodeWebp(bytes, "fuzz.webp", &warnings); });
    hueline::fuzzing::touchUnlessRefused([&] { return hueline::decodeWebpToCover(bytes, "fuzz.webp", 40, 30); });
    return 0;
}
