// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the PNG reader (our wrapper around libspng) on arbitrary
// bytes, then the writer on what was read. A refused file (FileError) is
// the expected answer to a broken one.
//
// A few dozen bytes may claim a picture of hundreds of megapixels, which
// the reader allocates as it should before finding the data short. Such
// inputs only slow the fuzzer down, so the target skips headers over a few
// megapixels.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/picture/errors.h"

namespace {

constexpr std::uint64_t kMaxFuzzPixels = 4u << 20;

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The header's width and height sit at bytes 16 and 20.
    if (size >= 24 && std::uint64_t(bigEndian32(data + 16)) * bigEndian32(data + 20) > kMaxFuzzPixels) return 0;
    try {
        const hueline::WorkBitmap picture = hueline::decodePng(std::span<const std::uint8_t>(data, size), "fuzz.png");
        hueline::fuzzing::touchPicture(picture);
        const std::vector<std::uint8_t> again = hueline::encodePng(picture);
        hueline::fuzzing::touch(again.data(), again.size());
    } catch (const hueline::UserError&) {
    }
    return 0;
}
