// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/ops/invert.h"

#include <cstring>
#include <utility>

namespace hueline {
namespace {

void invertPalette(WorkBitmap& picture) {
    std::vector<PaletteEntry> palette = picture.palette();
    for (PaletteEntry& e : palette) e = {std::uint8_t(255 - e.blue), std::uint8_t(255 - e.green), std::uint8_t(255 - e.red)};
    picture.setPalette(std::move(palette));
}

// Shared pixels are inverted straight into a new picture: one read and
// one write, not a copy and then a pass over the copy.
void invert24(WorkBitmap& picture) {
    const int h = picture.height();
    const std::size_t n = 3 * std::size_t(picture.width());
    if (!picture.pixelsShared()) {
        for (int y = 0; y < h; ++y) {
            std::uint8_t* r = picture.row(y);
            for (std::size_t i = 0; i < n; ++i) r[i] = std::uint8_t(~r[i]);
        }
        return;
    }
    WorkBitmap out = WorkBitmap::uninitialized24(picture.width(), h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = picture.constRow(y);
        std::uint8_t* dst = out.row(y);
        for (std::size_t i = 0; i < n; ++i) dst[i] = std::uint8_t(~src[i]);
    }
    picture = std::move(out);
}

// 16 and 32 bits: the colour bits of each little-endian word flipped.
void invertWords(WorkBitmap& picture) {
    const ChannelMasks& m = picture.masks();
    const std::uint32_t colourBits = m.red | m.green | m.blue;
    const std::size_t bytes = picture.format() == PixelFormat::Bits16 ? 2 : 4;
    std::uint8_t flip[4];
    for (std::size_t k = 0; k < 4; ++k) flip[k] = std::uint8_t(colourBits >> (8 * k));
    const std::size_t n = bytes * std::size_t(picture.width());
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* r = picture.row(y);
        for (std::size_t i = 0; i < n; ++i) r[i] ^= flip[i % bytes];
    }
}

}  // namespace

void invertPicture(WorkBitmap& picture) {
    if (isIndexed(picture.format())) return invertPalette(picture);
    if (picture.empty()) return;
    if (picture.format() == PixelFormat::Bits24) return invert24(picture);
    invertWords(picture);
}

}  // namespace hueline
