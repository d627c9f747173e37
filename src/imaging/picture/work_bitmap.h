// SPDX-License-Identifier: GPL-3.0-or-later
// WorkBitmap: a picture in memory addressed by rows.
//
// Row y counts from the top of the picture. A 24-bit row is 3 * width bytes
// of Blue, Green, Red. Pictures read from files keep the pixel format they
// were stored in (1, 4, 8 bits with a palette; 16 and 32 bits with channel
// masks); every row-level operation converts its private copy to 24 bits
// first.
//
// Copies share their pixels until one side asks for a writable row (copy on
// write), so the several working-picture copies a command makes cost a
// pointer each. Read through const references (or constRow) to keep sharing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/picture/memory.h"

namespace hueline {

// A single colour as exchanged with the colour panel and the canvas:
// 0x00BBGGRR, red in the low byte.
using ColorValue = std::uint32_t;
inline constexpr ColorValue kWhite = 0xFFFFFF;
inline constexpr ColorValue kBlack = 0x000000;

constexpr ColorValue makeColor(int red, int green, int blue) {
    return ColorValue(red & 0xFF) | ColorValue(green & 0xFF) << 8 | ColorValue(blue & 0xFF) << 16;
}
constexpr int redOf(ColorValue c) { return int(c & 0xFF); }
constexpr int greenOf(ColorValue c) { return int(c >> 8 & 0xFF); }
constexpr int blueOf(ColorValue c) { return int(c >> 16 & 0xFF); }

enum class PixelFormat : std::uint8_t {
    Bits1 = 1,
    Bits4 = 4,
    Bits8 = 8,
    Bits16 = 16,
    Bits24 = 24,
    Bits32 = 32,
};

constexpr int bitsPerPixel(PixelFormat f) { return int(f); }
constexpr bool isIndexed(PixelFormat f) { return int(f) <= 8; }

struct PaletteEntry {
    std::uint8_t blue = 0, green = 0, red = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// Where the channels sit in a 16- or 32-bit pixel (a little-endian word).
// Zero alpha means the format has none; the program never shows alpha.
struct ChannelMasks {
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    friend bool operator==(const ChannelMasks&, const ChannelMasks&) = default;
};

// The masks a 16- or 32-bit picture has when its file says nothing:
// 5-5-5 for 16 bits, 8-8-8 with an unused top byte for 32 bits.
ChannelMasks defaultMasks(PixelFormat f);

// The largest picture the program takes on, in pixels. Readers refuse
// anything bigger before they allocate.
inline constexpr std::int64_t kMaxPixels = 256LL * 1000 * 1000;

class WorkBitmap {
public:
    // An empty picture: 0 x 0, 24 bits per pixel.
    WorkBitmap() = default;
    // A white picture of the given size. Indexed formats get a palette whose
    // last entry is white; 16- and 32-bit formats get the default masks.
    WorkBitmap(int width, int height, PixelFormat format = PixelFormat::Bits24);
    // A 24-bit picture whose pixels are not set yet, for operations that
    // write every pixel of their output (row padding is zero).
    static WorkBitmap uninitialized24(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    PixelFormat format() const { return format_; }
    std::size_t stride() const { return stride_; }

    // Row access. The const form never copies; the writable form first takes
    // a private copy of shared pixels.
    const std::uint8_t* row(int y) const { return pixels_->data.data() + std::size_t(y) * stride_; }
    const std::uint8_t* constRow(int y) const { return row(y); }
    std::uint8_t* row(int y) {
        detach();
        return pixels_->data.data() + std::size_t(y) * stride_;
    }

    const std::vector<PaletteEntry>& palette() const { return palette_; }
    void setPalette(std::vector<PaletteEntry> palette) { palette_ = std::move(palette); }
    const ChannelMasks& masks() const { return masks_; }
    void setMasks(const ChannelMasks& m) { masks_ = m; }

    // Converts the pixels into another format, keeping size and look.
    // Any format converts to 24 and 32 bits exactly. Converting to an
    // indexed or 16-bit format keeps the nearest colour that format holds.
    void setPixelFormat(PixelFormat target);
    // A 24-bit copy of this picture (shares the pixels if already 24-bit).
    WorkBitmap to24() const;

    // Resizes to a white picture of the new size; the old content is gone.
    void setSize(int width, int height);

    // Canvas access to one pixel. Reads outside the picture give white;
    // writes outside it are ignored. An indexed picture takes the nearest
    // palette entry, as a canvas would.
    ColorValue pixel(int x, int y) const;
    void setPixel(int x, int y, ColorValue c);

    // True when both share the same pixel storage (for tests of sharing).
    bool sharesPixelsWith(const WorkBitmap& other) const { return pixels_ == other.pixels_; }
    // True when another picture shares these pixels, so that the writable
    // row() would copy them first.
    bool pixelsShared() const { return pixels_.use_count() > 1; }

    // Same size, format, palette (indexed), masks (16/32) and pixel bytes.
    friend bool operator==(const WorkBitmap& a, const WorkBitmap& b);

private:
    struct Pixels {
        PictureMemory data;
        std::size_t size = 0;
    };
    static std::shared_ptr<Pixels> allocate(std::size_t bytes);
    void detach();

    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::Bits24;
    std::size_t stride_ = 0;
    std::shared_ptr<Pixels> pixels_ = allocate(0);
    std::vector<PaletteEntry> palette_;
    ChannelMasks masks_;
};

// Bytes in one stored row: whole 32-bit words, as in BMP files and as the
// screen wants them.
constexpr std::size_t rowStride(int width, PixelFormat f) {
    return (std::size_t(width) * std::size_t(bitsPerPixel(f)) + 31) / 32 * 4;
}

// Reads pixel x of a row in any format as 0x00BBGGRR, through the palette or
// the masks. Used by conversions and tests; whole-picture operations work
// on 24-bit rows instead.
ColorValue decodePixel(const WorkBitmap& bmp, const std::uint8_t* row, int x);

// Keeps picture memory ready for the next picture the size of this one
// (a picture just opened: its first command then finds warm pages).
void keepMemoryWarmFor(const WorkBitmap& picture);

}  // namespace hueline
