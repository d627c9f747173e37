// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the JPEG reader (our wrapper around libjpeg) on arbitrary
// bytes. A refused file (FileError) is the expected answer to a broken one.
//
// libjpeg turns a short file into a whole picture (the missing part gray),
// so a few hundred bytes may claim a picture of hundreds of megapixels,
// which the reader takes as it should. Such inputs only slow the fuzzer
// down; as libjpeg's own fuzzers do, the target skips frames over a few
// megapixels, found from the frame header before anything is decoded.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/jpeg_codec.h"

namespace {

constexpr std::uint64_t kMaxFuzzPixels = 4u << 20;

// The pixel count of the first frame header, 0 when none is found.
std::uint64_t framePixels(const std::uint8_t* p, std::size_t size) {
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (p[at] != 0xFF) return 0;
        const std::uint8_t marker = p[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        const std::size_t length = std::size_t(p[at + 2]) << 8 | p[at + 3];
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && at + 9 <= size) {
            const std::uint64_t h = std::uint64_t(p[at + 5]) << 8 | p[at + 6];
            const std::uint64_t w = std::uint64_t(p[at + 7]) << 8 | p[at + 8];
            return w * h;
        }
        at += 2 + length;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (framePixels(data, size) > kMaxFuzzPixels) return 0;
    try {
        hueline::fuzzing::touchPicture(hueline::decodeJpeg(std::span<const std::uint8_t>(data, size), "fuzz.jpg"));
    } catch (const hueline::UserError&) {
    }
    return 0;
}
