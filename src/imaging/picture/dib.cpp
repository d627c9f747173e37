// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/dib.h"

#include "imaging/picture/little_endian.h"

namespace hueline::dib {

InfoHeader readInfoHeader(std::span<const std::uint8_t> bytes) {
    InfoHeader h;
    if (bytes.size() < 4) return h;
    h.size = le32(bytes.data());
    const std::size_t have = std::min<std::size_t>(bytes.size(), h.size);
    auto field16 = [&](std::size_t at) { return at + 2 <= have ? le16(bytes.data() + at) : 0u; };
    auto field32 = [&](std::size_t at) { return at + 4 <= have ? le32(bytes.data() + at) : 0u; };
    if (h.core()) {
        h.width = field16(4);
        h.height = field16(6);
        h.planes = field16(8);
        h.bitCount = field16(10);
        return h;
    }
    h.width = std::int32_t(field32(4));
    h.height = std::int32_t(field32(8));
    h.planes = field16(12);
    h.bitCount = field16(14);
    h.compression = field32(16);
    h.sizeImage = field32(20);
    h.xDensity = std::int32_t(field32(24));
    h.yDensity = std::int32_t(field32(28));
    h.colorsUsed = field32(32);
    return h;
}

bool knownHeaderSize(std::uint32_t size) {
    switch (size) {
    case 12:   // the old core header
    case 16:   // the second-generation header, cut short
    case 40:   // the info header
    case 52:   // with colour masks
    case 56:   // with colour and alpha masks
    case 64:   // the second-generation header, full
    case 108:  // version 4
    case 124:  // version 5
        return true;
    default: return false;
    }
}

std::uint32_t maskBytesAfter(const InfoHeader& h) {
    if (!h.bitfields() || (h.bitCount != 16 && h.bitCount != 32)) return 0;
    if (h.size < 52) return h.compression == kAlphaBitfields ? 16 : 12;
    if (h.size < 56 && h.compression == kAlphaBitfields) return 4;
    return 0;
}

std::uint32_t masksAt(const InfoHeader& h) { return h.size < 52 ? h.size : kInfoHeaderSize; }

bool masksHaveAlpha(const InfoHeader& h) { return h.compression == kAlphaBitfields || h.size >= 56; }

std::vector<PaletteEntry> readPalette(const std::uint8_t* p, std::size_t count, std::uint32_t entryBytes) {
    std::vector<PaletteEntry> palette(count);
    for (std::size_t i = 0; i < count; ++i, p += entryBytes) palette[i] = {p[0], p[1], p[2]};
    return palette;
}

}  // namespace hueline::dib
