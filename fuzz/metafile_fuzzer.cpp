// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: WMF and EMF files drawn onto the real painter surface, as
// the window opens them, with a play time limit of a second per input (the
// budget refuses anything that would take longer). Pictures over a
// megapixel are left out, so that the fuzzer spends its time in the
// drawing rather than in clearing memory. A refused file (FileError) is the
// expected answer to anything broken.
#include <QGuiApplication>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz_support.h"
#include "imaging/metafile/player.h"
#include "imaging/picture/errors.h"
#include "render/metafile_painter.h"

// Qt's font and glyph caches live until the program ends.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // Placeable Windows metafiles by their key, everything else as EMF.
    const bool wmf = size >= 4 && data[0] == 0xD7 && data[1] == 0xCD && data[2] == 0xC6 && data[3] == 0x9A;
    const auto kind = wmf ? hueline::PictureKind::Wmf : hueline::PictureKind::Emf;
    try {
        hueline::metafileNaturalSize(bytes, "fuzz", kind, 1'000'000);
        hueline::fuzzing::touchPicture(hueline::renderMetafile(bytes, "fuzz", kind, std::chrono::seconds(1)));
    } catch (const hueline::UserError&) {
    }
    return 0;
}
