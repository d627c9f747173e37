// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the TIFF reader (our wrapper around libtiff) on arbitrary
// bytes. A refused file (FileError) is the expected answer to a broken
// one. First pages over a few megapixels are skipped: the reader takes
// them as it should, and they only slow the fuzzer down.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/codecs/tiff_codec.h"
#include "imaging/codecs/tiff_memory.h"
#include "imaging/picture/errors.h"

namespace {

constexpr std::uint64_t kMaxFuzzPixels = 4u << 20;

bool tooLarge(std::span<const std::uint8_t> bytes) {
    try {
        hueline::tiff::MemoryTiff file(bytes, "fuzz.tif");
        std::uint32_t width = 0, height = 0;
        TIFFGetField(file.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(file.get(), TIFFTAG_IMAGELENGTH, &height);
        return std::uint64_t(width) * height > kMaxFuzzPixels;
    } catch (const hueline::UserError&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (tooLarge(bytes)) return 0;
    std::string warnings;
    hueline::fuzzing::touchUnlessRefused([&] { return hueline::decodeTiff(bytes, "fuzz.tif", &warnings); });
    return 0;
}
