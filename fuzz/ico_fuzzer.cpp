// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the icon reader on arbitrary bytes. PNG-compressed images
// go to the window's Qt decoder, which is not part of this program's
// readers; here they are refused as that decoder refuses what it cannot
// read, so the reader's own handling of a failed image is fuzzed too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/icon_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const hueline::PngDecoder noPng = [](std::span<const std::uint8_t> png) -> hueline::WorkBitmap {
        hueline::fuzzing::touch(png.data(), png.size());
        throw hueline::UserError("the PNG image cannot be read");
    };
    try {
        hueline::fuzzing::touchPicture(hueline::decodeIcon(std::span<const std::uint8_t>(data, size), "fuzz.ico", noPng));
    } catch (const hueline::UserError&) {
    }
    return 0;
}
