// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the HEIF and AVIF reader (our wrapper around libheif) on
// arbitrary bytes, at full size and from a thumbnail for a preview. A
// refused file (FileError) is the expected answer to a broken one. Primary
// images over a few megapixels are skipped: the reader takes them as it
// should, and they only slow the fuzzer down.
#include <libheif/heif.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "imaging/codecs/heif_codec.h"
#include "imaging/picture/errors.h"

namespace {

constexpr std::uint64_t kMaxFuzzPixels = 4u << 20;

bool tooLarge(const std::uint8_t* data, std::size_t size) {
    heif_context* context = heif_context_alloc();
    bool large = false;
    heif_image_handle* primary = nullptr;
    if (heif_context_read_from_memory_without_copy(context, data, size, nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &primary).code == heif_error_Ok) {
        large = std::uint64_t(heif_image_handle_get_width(primary)) * std::uint64_t(heif_image_handle_get_height(primary)) >
                kMaxFuzzPixels;
        heif_image_handle_release(primary);
    }
    heif_context_free(context);
    return large;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (tooLarge(data, size)) return 0;
    const std::span<const std::uint8_t> bytes(data, size);
    std::string warnings;
    hueline::fuzzing::touchUnlessRefused([&] { return hueline::decodeHeif(bytes, "fuzz.heic", &warnings); });
    hueline::fuzzing::touchUnlessRefused([&] { return hueline::decodeHeifToCover(bytes, "fuzz.heic", 40, 30); });
    return 0;
}
