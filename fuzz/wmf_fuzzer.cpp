// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the WMF player on arbitrary bytes, onto a surface that
// reads everything it is given. A refused file (FileError) is the expected
// answer to a broken header; a broken record just ends the play.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/picture/errors.h"
#include "imaging/metafile/player.h"
#include "metafile_fuzz_surface.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hueline::fuzzing::ReadingSurface surface;
    try {
        hueline::playMetafile(std::span<const std::uint8_t>(data, size), "fuzz.wmf", hueline::PictureKind::Wmf,
                              surface);
    } catch (const hueline::UserError&) {
    }
    return 0;
}
