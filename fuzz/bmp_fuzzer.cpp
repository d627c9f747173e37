// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the BMP reader on arbitrary bytes. A refused file
// (FileError) is the expected answer to a broken one; anything else that
// escapes, and every memory fault, is a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        hueline::fuzzing::touchPicture(hueline::decodeBmp(bytes, "fuzz.bmp"));
    } catch (const hueline::UserError&) {
    }
    // The same bytes less the file header, as a device-independent bitmap
    // the way icons and metafiles carry one.
    if (size > 14) {
        try {
            hueline::fuzzing::touchPicture(hueline::decodeDib(bytes.subspan(14), "fuzz.dib"));
        } catch (const hueline::UserError&) {
        }
    }
    return 0;
}
