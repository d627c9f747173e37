// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the fields of one metafile record. Every read is checked against
// the record's own length; the players test fits() before they use a
// variable part.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "imaging/metafile/surface.h"

namespace hueline::meta {

class Record {
public:
    explicit Record(std::span<const std::uint8_t> bytes) : b_(bytes) {}

    std::size_t size() const { return b_.size(); }
    // True when len bytes starting at offset lie inside the record.
    bool fits(std::uint64_t offset, std::uint64_t len) const {
        return offset <= b_.size() && len <= b_.size() - offset;
    }
    std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t len) const {
        return fits(offset, len) ? b_.subspan(offset, len) : std::span<const std::uint8_t>{};
    }

    // Fields outside the record read as 0.
    std::uint8_t u8(std::size_t o) const { return fits(o, 1) ? b_[o] : 0; }
    std::uint16_t u16(std::size_t o) const { return fits(o, 2) ? std::uint16_t(b_[o] | b_[o + 1] << 8) : 0; }
    std::int16_t i16(std::size_t o) const { return std::int16_t(u16(o)); }
    std::uint32_t u32(std::size_t o) const {
        return fits(o, 4) ? std::uint32_t(b_[o]) | std::uint32_t(b_[o + 1]) << 8 | std::uint32_t(b_[o + 2]) << 16 |
                                std::uint32_t(b_[o + 3]) << 24
                          : 0;
    }
    std::int32_t i32(std::size_t o) const { return std::int32_t(u32(o)); }
    float f32(std::size_t o) const {
        const std::uint32_t v = u32(o);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    ColorValue color(std::size_t o) const { return u32(o) & 0xFFFFFF; }

private:
    std::span<const std::uint8_t> b_;
};

// Reads the size fields of a device-independent bitmap (the info header,
// its colour table or masks, then the bits) and checks that the header and
// the pixel rows it claims fit in the bytes given. Fills dib; false when
// the bitmap is unusable.
bool describeDib(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits, Dib& dib);
// The same for a packed bitmap: the info header and colour table directly
// followed by the bits, as Windows metafile records carry it.
bool describePackedDib(std::span<const std::uint8_t> packed, Dib& dib);

// Windows-1252 text (the ANSI code page of the metafiles' fonts) as
// UTF-16; with symbolFont, every byte is kept as its own code, which the
// device context translates by the font's face (symbol_fonts.h).
std::u16string ansiToUtf16(std::span<const std::uint8_t> text, bool symbolFont);
// Text in the code page of a font's character set (Windows-1252 for the
// ANSI and default sets, the Windows code pages of the others, double-byte
// ones included) as UTF-16. dx, when given, holds one advance per byte and
// comes back with one per character.
std::u16string charsetToUtf16(std::span<const std::uint8_t> text, int charset, bool symbolFont,
                              std::vector<int>* dx = nullptr);
// UTF-16 as UTF-8, for face names.
std::string utf16ToUtf8(const std::u16string& s);

}  // namespace hueline::meta
