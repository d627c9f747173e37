// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: PNG images inside icons, through the icon reader and the
// PNG decoder that icons use. The input is the PNG image; the target
// wraps it as the one image of an icon file, so that every mutation
// reaches the PNG decoder instead of breaking the icon's directory.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/picture/errors.h"

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// An icon file of one 32 x 32 32-bit entry holding the bytes.
std::vector<std::uint8_t> iconHolding(const std::uint8_t* png, std::size_t size) {
    std::vector<std::uint8_t> icon;
    icon.reserve(22 + size);
    put16(icon, 0);  // reserved
    put16(icon, 1);  // an icon
    put16(icon, 1);  // one image
    icon.push_back(32);
    icon.push_back(32);
    icon.push_back(0);  // no palette
    icon.push_back(0);
    put16(icon, 1);   // planes
    put16(icon, 32);  // bits per pixel
    put32(icon, std::uint32_t(size));
    put32(icon, 22);  // the image follows the directory
    icon.insert(icon.end(), png, png + size);
    return icon;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> icon = iconHolding(data, size);
    try {
        hueline::fuzzing::touchPicture(hueline::decodeIcon(icon, "fuzz.ico"));
    } catch (const hueline::UserError&) {
    }
    return 0;
}
