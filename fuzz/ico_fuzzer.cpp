// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the icon reader on arbitrary bytes, PNG-compressed images
// included.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/icon_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        hueline::fuzzing::touchPicture(hueline::decodeIcon(std::span<const std::uint8_t>(data, size), "fuzz.ico"));
    } catch (const hueline::UserError&) {
    }
    return 0;
}
