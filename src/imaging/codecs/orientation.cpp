// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/orientation.h"

#include <cstddef>
#include <cstring>

namespace hueline {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShort = 3;

// Reads 2- and 4-byte values of a TIFF structure in its own byte order.
struct TiffReader {
    std::span<const std::uint8_t> bytes;
    bool bigEndian;
    bool has(std::size_t at, std::size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }
    std::uint32_t u16(std::size_t at) const {
        return bigEndian ? std::uint32_t(bytes[at]) << 8 | bytes[at + 1] : std::uint32_t(bytes[at + 1]) << 8 | bytes[at];
    }
    std::uint32_t u32(std::size_t at) const {
        return bigEndian ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    }
};

}  // namespace

int exifOrientation(std::span<const std::uint8_t> app1) {
    static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (app1.size() < 6 + 8 || std::memcmp(app1.data(), kExif, 6) != 0) return 1;
    const std::span<const std::uint8_t> tiff = app1.subspan(6);
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!little && !big) return 1;
    const TiffReader r{tiff, big};
    if (r.u16(2) != 42) return 1;
    const std::size_t ifd = r.u32(4);
    if (!r.has(ifd, 2)) return 1;
    const std::size_t count = r.u16(ifd);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (!r.has(entry, 12)) return 1;
        if (r.u16(entry) != kOrientationTag) continue;
        if (r.u16(entry + 2) != kShort || r.u32(entry + 4) != 1) return 1;
        const std::uint32_t value = r.u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

WorkBitmap orientedUpright(const WorkBitmap& picture, int orientation) {
    const PixelFormat format = picture.format();
    if (orientation < 2 || orientation > 8 || (format != PixelFormat::Bits8 && format != PixelFormat::Bits24))
        return picture;
    const int w = picture.width(), h = picture.height();
    const bool swapped = orientation >= 5;
    const int outW = swapped ? h : w, outH = swapped ? w : h;
    WorkBitmap out = format == PixelFormat::Bits24 ? WorkBitmap::uninitialized24(outW, outH)
                                                   : WorkBitmap(outW, outH, format);
    out.setPalette(picture.palette());
    const std::ptrdiff_t bpp = format == PixelFormat::Bits24 ? 3 : 1;
    const std::ptrdiff_t stride = std::ptrdiff_t(picture.stride());
    // Output row y walks the source from (sx, sy) by step bytes a pixel.
    for (int y = 0; y < outH; ++y) {
        int sx = 0, sy = 0;
        std::ptrdiff_t step = 0;
        switch (orientation) {
        case 2: sx = w - 1, sy = y, step = -bpp; break;
        case 3: sx = w - 1, sy = h - 1 - y, step = -bpp; break;
        case 4: sx = 0, sy = h - 1 - y, step = bpp; break;
        case 5: sx = y, sy = 0, step = stride; break;
        case 6: sx = y, sy = h - 1, step = -stride; break;
        case 7: sx = w - 1 - y, sy = h - 1, step = -stride; break;
        default: sx = w - 1 - y, sy = 0, step = stride; break;  // 8
        }
        const std::uint8_t* in = picture.constRow(0);
        std::ptrdiff_t at = sy * stride + sx * bpp;
        std::uint8_t* row = out.row(y);
        if (bpp == 3) {
            for (int x = 0; x < outW; ++x, at += step) {
                row[3 * x] = in[at];
                row[3 * x + 1] = in[at + 1];
                row[3 * x + 2] = in[at + 2];
            }
        } else {
            for (int x = 0; x < outW; ++x, at += step) row[x] = in[at];
        }
    }
    return out;
}

}  // namespace hueline
