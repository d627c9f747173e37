// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/work_bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace hueline {

ChannelMasks defaultMasks(PixelFormat f) {
    if (f == PixelFormat::Bits16) return {0x7C00, 0x03E0, 0x001F, 0};
    if (f == PixelFormat::Bits32) return {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    return {};
}

namespace {

// A palette for pictures made in an indexed format from scratch: black to
// white for 1 bit, the sixteen standard colours for 4 bits, a 6x6x6 colour
// cube and a gray ramp for 8 bits. White is always present.
std::vector<PaletteEntry> standardPalette(PixelFormat f) {
    std::vector<PaletteEntry> p;
    auto add = [&](int r, int g, int b) { p.push_back({std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)}); };
    switch (f) {
    case PixelFormat::Bits1:
        add(0, 0, 0);
        add(255, 255, 255);
        break;
    case PixelFormat::Bits4: {
        static constexpr int vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                           {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                           {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                           {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (auto& c : vga) add(c[0], c[1], c[2]);
        break;
    }
    case PixelFormat::Bits8:
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
        for (int i = 1; i <= 39; ++i) add(i * 255 / 40, i * 255 / 40, i * 255 / 40);
        // 216 + 39 = 255 entries; the last one repeats white so that a fresh
        // picture can be filled with index 255.
        add(255, 255, 255);
        break;
    default:
        break;
    }
    return p;
}

int shiftOf(std::uint32_t mask) { return mask ? std::countr_zero(mask) : 0; }

// Expands a channel of n bits to 8 bits so that the largest value becomes
// 255 (5 bits: 31 -> 255, 16 -> 132).
struct ChannelDecoder {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;
    explicit ChannelDecoder(std::uint32_t m) : mask(m), shift(shiftOf(m)), max(m >> shiftOf(m)) {}
    int operator()(std::uint32_t word) const {
        if (max == 0) return 0;
        const std::uint32_t v = (word & mask) >> shift;
        if (max == 255) return int(v);
        return int((std::uint64_t(v) * 255 + max / 2) / max);
    }
    std::uint32_t encode(int value) const {
        if (max == 0) return 0;
        return std::uint32_t((std::uint64_t(value) * max + 127) / 255) << shift;
    }
};

int indexAt(const std::uint8_t* row, int x, PixelFormat f) {
    switch (f) {
    case PixelFormat::Bits1: return row[x >> 3] >> (7 - (x & 7)) & 1;
    case PixelFormat::Bits4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
    }
}

void setIndexAt(std::uint8_t* row, int x, PixelFormat f, int index) {
    switch (f) {
    case PixelFormat::Bits1: {
        const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
        row[x >> 3] = index ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        break;
    }
    case PixelFormat::Bits4:
        if (x & 1)
            row[x >> 1] = std::uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F));
        else
            row[x >> 1] = std::uint8_t((row[x >> 1] & 0x0F) | (index & 0x0F) << 4);
        break;
    default: row[x] = std::uint8_t(index); break;
    }
}

int nearestPaletteIndex(const std::vector<PaletteEntry>& p, ColorValue c) {
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < p.size(); ++i) {
        const long dr = long(p[i].red) - redOf(c), dg = long(p[i].green) - greenOf(c), db = long(p[i].blue) - blueOf(c);
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return best;
}

std::uint32_t readWord(const std::uint8_t* row, int x, PixelFormat f) {
    if (f == PixelFormat::Bits16) return std::uint32_t(row[2 * x]) | std::uint32_t(row[2 * x + 1]) << 8;
    const std::uint8_t* p = row + 4 * std::size_t(x);
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void writeWord(std::uint8_t* row, int x, PixelFormat f, std::uint32_t w) {
    if (f == PixelFormat::Bits16) {
        row[2 * x] = std::uint8_t(w);
        row[2 * x + 1] = std::uint8_t(w >> 8);
        return;
    }
    std::uint8_t* p = row + 4 * std::size_t(x);
    p[0] = std::uint8_t(w);
    p[1] = std::uint8_t(w >> 8);
    p[2] = std::uint8_t(w >> 16);
    p[3] = std::uint8_t(w >> 24);
}

}  // namespace

// One spare word after the pixels so that vectorised loops may read a
// little past the last row's end without leaving the allocation.
constexpr std::size_t kSpareBytes = 16;

std::shared_ptr<WorkBitmap::Pixels> WorkBitmap::allocate(std::size_t bytes) {
    auto p = std::make_shared<Pixels>();
    p->data = PictureMemory(bytes + kSpareBytes);
    p->size = bytes;
    return p;
}

void keepMemoryWarmFor(const WorkBitmap& picture) {
    keepPictureMemoryWarm(picture.stride() * std::size_t(picture.height()) + kSpareBytes);
}

WorkBitmap::WorkBitmap(int width, int height, PixelFormat format) {
    setPixelFormat(format);
    setSize(width, height);
}

WorkBitmap WorkBitmap::uninitialized24(int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative picture size");
    if (std::int64_t(width) * height > kMaxPixels) throw std::length_error("picture larger than 256 megapixels");
    WorkBitmap out;
    out.width_ = width;
    out.height_ = height;
    out.stride_ = rowStride(width, PixelFormat::Bits24);
    out.pixels_ = allocate(out.stride_ * std::size_t(height));
    const std::size_t used = 3 * std::size_t(width);
    if (used != out.stride_)
        for (int y = 0; y < height; ++y)
            std::memset(out.pixels_->data.data() + std::size_t(y) * out.stride_ + used, 0, out.stride_ - used);
    return out;
}

void WorkBitmap::setSize(int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative picture size");
    if (std::int64_t(width) * height > kMaxPixels) throw std::length_error("picture larger than 256 megapixels");
    width_ = width;
    height_ = height;
    stride_ = rowStride(width, format_);
    pixels_ = allocate(stride_ * std::size_t(height));
    if (isIndexed(format_)) {
        if (palette_.empty()) palette_ = standardPalette(format_);
        // Fill with the palette's white (or its lightest entry).
        int white = int(palette_.size()) - 1;
        for (std::size_t i = 0; i < palette_.size(); ++i)
            if (palette_[i] == PaletteEntry{255, 255, 255}) white = int(i);
        std::uint8_t fill = std::uint8_t(white);
        if (format_ == PixelFormat::Bits1) fill = white ? 0xFF : 0x00;
        if (format_ == PixelFormat::Bits4) fill = std::uint8_t(white << 4 | white);
        std::memset(pixels_->data.data(), fill, pixels_->size);
    } else if (format_ == PixelFormat::Bits16 || format_ == PixelFormat::Bits32) {
        std::memset(pixels_->data.data(), 0, pixels_->size);
        const std::uint32_t w = masks_.red | masks_.green | masks_.blue;
        for (int y = 0; y < height_; ++y) {
            std::uint8_t* r = pixels_->data.data() + std::size_t(y) * stride_;
            for (int x = 0; x < width_; ++x) writeWord(r, x, format_, w);
        }
    } else {
        std::memset(pixels_->data.data(), 0xFF, pixels_->size);
    }
}

void WorkBitmap::detach() {
    if (pixels_.use_count() == 1) return;
    auto copy = allocate(pixels_->size);
    std::memcpy(copy->data.data(), pixels_->data.data(), pixels_->size);
    pixels_ = std::move(copy);
}

ColorValue decodePixel(const WorkBitmap& bmp, const std::uint8_t* row, int x) {
    const PixelFormat f = bmp.format();
    if (f == PixelFormat::Bits24) {
        const std::uint8_t* p = row + 3 * std::size_t(x);
        return makeColor(p[2], p[1], p[0]);
    }
    if (isIndexed(f)) {
        const int i = indexAt(row, x, f);
        // An index past the end of a short palette shows black.
        if (std::size_t(i) >= bmp.palette().size()) return kBlack;
        const PaletteEntry& e = bmp.palette()[std::size_t(i)];
        return makeColor(e.red, e.green, e.blue);
    }
    const std::uint32_t w = readWord(row, x, f);
    const ChannelMasks& m = bmp.masks();
    return makeColor(ChannelDecoder(m.red)(w), ChannelDecoder(m.green)(w), ChannelDecoder(m.blue)(w));
}

ColorValue WorkBitmap::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kWhite;
    return decodePixel(*this, row(y), x);
}

void WorkBitmap::setPixel(int x, int y, ColorValue c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* r = row(y);
    switch (format_) {
    case PixelFormat::Bits24: {
        std::uint8_t* p = r + 3 * std::size_t(x);
        p[0] = std::uint8_t(blueOf(c));
        p[1] = std::uint8_t(greenOf(c));
        p[2] = std::uint8_t(redOf(c));
        break;
    }
    case PixelFormat::Bits16:
    case PixelFormat::Bits32:
        writeWord(r, x, format_,
                  ChannelDecoder(masks_.red).encode(redOf(c)) | ChannelDecoder(masks_.green).encode(greenOf(c)) |
                      ChannelDecoder(masks_.blue).encode(blueOf(c)) | masks_.alpha);
        break;
    default: setIndexAt(r, x, format_, nearestPaletteIndex(palette_, c)); break;
    }
}

WorkBitmap WorkBitmap::to24() const {
    WorkBitmap copy = *this;
    copy.setPixelFormat(PixelFormat::Bits24);
    return copy;
}

namespace {

// Indexed rows into 24-bit ones, through a 256-entry table of ready-made
// triples.
void indexedTo24(const WorkBitmap& in, WorkBitmap& out) {
    std::uint8_t lut[256][3] = {};
    const std::vector<PaletteEntry>& palette = in.palette();
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
        lut[i][0] = palette[i].blue;
        lut[i][1] = palette[i].green;
        lut[i][2] = palette[i].red;
    }
    for (int y = 0; y < in.height(); ++y) {
        const std::uint8_t* src = in.constRow(y);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < in.width(); ++x) std::memcpy(dst + 3 * std::size_t(x), lut[indexAt(src, x, in.format())], 3);
    }
}

// 32-bit rows with the default masks into 24-bit ones: the top byte dropped.
void plain32To24(const WorkBitmap& in, WorkBitmap& out) {
    for (int y = 0; y < in.height(); ++y) {
        const std::uint8_t* src = in.constRow(y);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < in.width(); ++x) {
            dst[3 * x] = src[4 * x];
            dst[3 * x + 1] = src[4 * x + 1];
            dst[3 * x + 2] = src[4 * x + 2];
        }
    }
}

// Any other conversion, one pixel at a time through its colour.
void convertEachPixel(const WorkBitmap& in, WorkBitmap& out) {
    const PixelFormat target = out.format();
    const ChannelMasks& m = out.masks();
    for (int y = 0; y < in.height(); ++y) {
        const std::uint8_t* src = in.constRow(y);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < in.width(); ++x) {
            const ColorValue c = decodePixel(in, src, x);
            switch (target) {
            case PixelFormat::Bits24:
                dst[3 * x] = std::uint8_t(blueOf(c));
                dst[3 * x + 1] = std::uint8_t(greenOf(c));
                dst[3 * x + 2] = std::uint8_t(redOf(c));
                break;
            case PixelFormat::Bits16:
            case PixelFormat::Bits32:
                writeWord(dst, x, target,
                          ChannelDecoder(m.red).encode(redOf(c)) | ChannelDecoder(m.green).encode(greenOf(c)) |
                              ChannelDecoder(m.blue).encode(blueOf(c)));
                break;
            default: setIndexAt(dst, x, target, nearestPaletteIndex(out.palette(), c)); break;
            }
        }
    }
}

}  // namespace

void WorkBitmap::setPixelFormat(PixelFormat target) {
    if (target == format_) return;
    WorkBitmap out;
    out.format_ = target;
    if (isIndexed(target)) out.palette_ = standardPalette(target);
    out.masks_ = defaultMasks(target);
    out.width_ = width_;
    out.height_ = height_;
    out.stride_ = rowStride(width_, target);
    out.pixels_ = allocate(out.stride_ * std::size_t(height_));
    std::memset(out.pixels_->data.data(), 0, out.pixels_->size);

    if (target == PixelFormat::Bits24 && isIndexed(format_)) indexedTo24(*this, out);
    else if (target == PixelFormat::Bits24 && format_ == PixelFormat::Bits32 && masks_ == defaultMasks(format_))
        plain32To24(*this, out);
    else convertEachPixel(*this, out);
    *this = std::move(out);
}

bool operator==(const WorkBitmap& a, const WorkBitmap& b) {
    if (a.width_ != b.width_ || a.height_ != b.height_ || a.format_ != b.format_) return false;
    if (isIndexed(a.format_) && a.palette_ != b.palette_) return false;
    if ((a.format_ == PixelFormat::Bits16 || a.format_ == PixelFormat::Bits32) && !(a.masks_ == b.masks_)) return false;
    if (a.pixels_ == b.pixels_) return true;
    // Compare only the bits that belong to pixels: row padding is free.
    const std::size_t fullBytes = std::size_t(a.width_) * bitsPerPixel(a.format_) / 8;
    const int restBits = int(std::size_t(a.width_) * bitsPerPixel(a.format_) % 8);
    for (int y = 0; y < a.height_; ++y) {
        const std::uint8_t* ra = a.row(y);
        const std::uint8_t* rb = b.row(y);
        if (std::memcmp(ra, rb, fullBytes) != 0) return false;
        if (restBits) {
            const std::uint8_t mask = std::uint8_t(0xFF00 >> restBits);
            if ((ra[fullBytes] & mask) != (rb[fullBytes] & mask)) return false;
        }
    }
    return true;
}

}  // namespace hueline
