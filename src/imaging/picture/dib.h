// SPDX-License-Identifier: GPL-3.0-or-later
// Device-independent bitmaps, as BMP files, icons and metafiles carry
// them: the info header, the colour masks and palette after it, the size
// of a stored row, and the run-length codes of RLE8 and RLE4 pictures.
// What a reader does with a header it cannot use is its own affair; the
// facts of the format are here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/picture/work_bitmap.h"

namespace hueline::dib {

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,  // Huffman coding in the second-generation header
    kJpeg = 4,       // RLE24 in the second-generation header
    kPng = 5,
    kAlphaBitfields = 6,
};

inline constexpr std::uint32_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kV4HeaderSize = 108;

// The fields of an info header. Fields that a short header lacks read 0.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int64_t width = 0, height = 0;  // the core header's 16-bit sizes as stored, unsigned
    std::uint32_t planes = 0, bitCount = 0, compression = kRgb, sizeImage = 0, colorsUsed = 0;
    std::int32_t xDensity = 0, yDensity = 0;

    // The old core header: 16-bit sizes, no compression, 3-byte colours.
    bool core() const { return size == kCoreHeaderSize; }
    // The second-generation header, full or cut short.
    bool secondGeneration() const { return size == 16 || size == 64; }
    std::uint32_t entryBytes() const { return core() ? 3 : 4; }
    bool bitfields() const { return compression == kBitfields || compression == kAlphaBitfields; }
    bool rle() const { return compression == kRle8 || compression == kRle4; }
};

// Reads the header at the start of bytes, whose first field gives its
// size; only the bytes given are read.
InfoHeader readInfoHeader(std::span<const std::uint8_t> bytes);

// True for the header sizes of the known versions.
bool knownHeaderSize(std::uint32_t size);

// Bytes of a stored row: the pixels padded to whole 32-bit words.
constexpr std::uint64_t rowBytes(std::uint64_t width, std::uint64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

// Bytes of colour masks that follow a header too small to hold them: the
// three (or with alpha, four) masks of a bit-field picture after the 40-byte
// header, or the alpha mask after the 52-byte one.
std::uint32_t maskBytesAfter(const InfoHeader& h);

// Offset of the first colour mask from the start of the header.
std::uint32_t masksAt(const InfoHeader& h);
// Whether the masks include alpha.
bool masksHaveAlpha(const InfoHeader& h);

// count entries of entryBytes each (blue, green, red[, unused]).
std::vector<PaletteEntry> readPalette(const std::uint8_t* p, std::size_t count, std::uint32_t entryBytes);

// One run of RLE pixels: count pixels from x on the stored row y (counted
// from the bottom), either one value repeated or literal bytes.
struct RleRun {
    std::int64_t x = 0, y = 0;
    unsigned count = 0;
    unsigned value = 0;                      // a repeated run's byte
    const std::uint8_t* literal = nullptr;   // a literal run's bytes
    bool four = false;                       // RLE4: two pixels a byte, high nibble first

    // Pixel k of the run, 0 <= k < count.
    unsigned at(unsigned k) const {
        const unsigned b = literal ? literal[four ? k / 2 : k] : value;
        return !four ? b : k % 2 ? b & 15u : b >> 4;
    }
};

// How the walk through the codes ended.
enum class RleEnd { Data, Picture, InsideSkip, InsideRun };

// Walks RLE8 (four false) or RLE4 codes. For every run, sink.run(RleRun);
// after every skip, sink.skipped(x, y). Before each code, sink.more(y)
// may end the walk. Returns how it ended: at the end of the data, at an
// end-of-picture code, or with a skip or literal run cut short.
template <class Sink>
RleEnd walkRle(std::span<const std::uint8_t> data, bool four, Sink& sink) {
    const std::uint8_t* p = data.data();
    const std::uint8_t* const end = p + data.size();
    std::int64_t x = 0, y = 0;
    while (end - p >= 2 && sink.more(y)) {
        const unsigned count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            sink.run(RleRun{x, y, count, value, nullptr, four});
            x += count;
        } else if (value == 0) {  // end of row
            x = 0;
            ++y;
        } else if (value == 1) {
            return RleEnd::Picture;
        } else if (value == 2) {  // skip right and up
            if (end - p < 2) return RleEnd::InsideSkip;
            x += p[0];
            y += p[1];
            p += 2;
            sink.skipped(x, y);
        } else {  // a literal run of `value` pixels, padded to whole words
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const std::size_t padded = (bytes + 1) & ~std::size_t(1);
            if (std::size_t(end - p) < bytes) return RleEnd::InsideRun;
            sink.run(RleRun{x, y, value, 0, p, four});
            x += value;
            p += std::min<std::size_t>(padded, std::size_t(end - p));
        }
    }
    return RleEnd::Data;
}

}  // namespace hueline::dib
