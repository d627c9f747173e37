// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the JPEG reader (our wrapper around libjpeg) on arbitrary
// bytes. A refused file (FileError) is the expected answer to a broken one.
//
// libjpeg turns a short file into a whole picture (the missing part gray),
// so a few hundred bytes may claim a picture of hundreds of megapixels,
// which the reader takes as it should. Such inputs only slow the fuzzer
// down; as libjpeg's own fuzzers do, the target skips frames over a few
// megapixels, as libjpeg itself reads them from the headers (so that stray
// bytes between markers, which libjpeg skips, do not hide a frame).
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include <jpeglib.h>

#include "fuzz_support.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/jpeg_codec.h"

namespace {

constexpr std::uint64_t kMaxFuzzPixels = 4u << 20;

struct HeaderErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onHeaderError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<HeaderErrors*>(cinfo->err)->jump, 1); }
void onHeaderMessage(j_common_ptr, int) {}

// The frame's pixel count as libjpeg's header reader finds it; 0 when it
// finds no frame. Holds nothing with a destructor across the jump.
std::uint64_t framePixels(const std::uint8_t* data, std::size_t size) {
    jpeg_decompress_struct cinfo{};
    HeaderErrors err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onHeaderError;
    err.pub.emit_message = onHeaderMessage;
    volatile std::uint64_t pixels = 0;
    if (setjmp(err.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK)
            pixels = std::uint64_t(cinfo.image_width) * cinfo.image_height;
    }
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (framePixels(data, size) > kMaxFuzzPixels) return 0;
    std::string damage;
    try {
        hueline::fuzzing::touchPicture(
            hueline::decodeJpeg(std::span<const std::uint8_t>(data, size), "fuzz.jpg", &damage));
    } catch (const hueline::UserError&) {
    }
    hueline::fuzzing::touch(damage.data(), damage.size());
    return 0;
}
