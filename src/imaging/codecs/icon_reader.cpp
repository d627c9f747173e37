// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/icon_reader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/over_white.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/picture/dib.h"
#include "imaging/picture/little_endian.h"
#include "imaging/picture/pixel_limit.h"

namespace hueline {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Deflate packs at most about 1032 bytes into one, and a row of 1-bit PNG
// pixels holds 8 of them in a byte: a PNG image claiming more pixels per
// byte than that cannot be real, and its decoding is not even tried.
constexpr std::uint64_t kMaxPngPixelsPerByte = 1032 * 8;

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

[[noreturn]] void fail(const std::string& name, const std::string& reason) { throw IconError(name, reason); }

constexpr std::int64_t kLargestSide = std::numeric_limits<std::int32_t>::max();

// One image of the icon file, with the size and depth that the image
// itself states where it can be read (the directory is often wrong).
struct Entry {
    std::size_t index = 0;
    std::uint64_t offset = 0, size = 0;
    bool inside = false;  // the image's bytes lie within the file
    bool png = false;
    std::int64_t width = 0, height = 0;
    int depth = 0;
};

Entry describe(std::span<const std::uint8_t> bytes, std::size_t index) {
    const std::uint8_t* d = bytes.data() + 6 + 16 * index;
    Entry e;
    e.index = index;
    e.width = d[0] ? d[0] : 256;
    e.height = d[1] ? d[1] : 256;
    e.depth = int(le16(d + 6));
    e.size = le32(d + 8);
    e.offset = le32(d + 12);
    e.inside = e.size > 0 && e.offset + e.size <= bytes.size();
    if (!e.inside) return e;
    const std::uint8_t* p = bytes.data() + e.offset;
    if (e.size >= 8 && std::memcmp(p, kPngSignature, 8) == 0) {
        e.png = true;
        if (e.size >= 26 && std::memcmp(p + 12, "IHDR", 4) == 0) {
            e.width = be32(p + 16);
            e.height = be32(p + 20);
            static constexpr int channels[7] = {1, 0, 3, 1, 2, 0, 4};
            e.depth = p[24] * (p[25] < 7 ? channels[p[25]] : 0);
        }
    } else if (e.size >= 16) {
        const dib::InfoHeader h = dib::readInfoHeader({p, std::size_t(e.size)});
        if (h.size == dib::kCoreHeaderSize || h.size >= 16) {
            e.width = h.width;
            e.height = std::abs(h.height) / 2;
            e.depth = int(h.bitCount);
        }
    }
    // Sizes far beyond any picture only need to rank last (and stay
    // clear of overflow when multiplied).
    e.width = std::clamp<std::int64_t>(e.width, -kLargestSide, kLargestSide);
    e.height = std::clamp<std::int64_t>(e.height, -kLargestSide, kLargestSide);
    return e;
}

// Closest to the standard size, then the deepest colour, then the larger,
// then the first in the file.
bool suitsBetter(const Entry& a, const Entry& b) {
    auto distance = [](const Entry& e) {
        return std::abs(e.width - kStandardIconSize) + std::abs(e.height - kStandardIconSize);
    };
    if (distance(a) != distance(b)) return distance(a) < distance(b);
    if (a.depth != b.depth) return a.depth > b.depth;
    if (a.width * a.height != b.width * b.height) return a.width * a.height > b.width * b.height;
    return a.index < b.index;
}

int channelValue(std::uint32_t word, std::uint32_t mask) {
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    const std::uint32_t v = (word & mask) >> shift;
    return max == 255 ? int(v) : int((std::uint64_t(v) * 255 + max / 2) / max);
}

std::uint32_t wordAt(const std::uint8_t* row, int x) {
    const std::uint8_t* p = row + 4 * std::size_t(x);
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The mask of a 32-bit image's alpha channel: its own alpha mask, or for
// plain 32-bit icon images (topByteIsAlpha) the top byte when any pixel
// uses it. 0: none.
std::uint32_t alphaMaskOf(const WorkBitmap& image, bool topByteIsAlpha) {
    if (image.format() != PixelFormat::Bits32) return 0;
    if (image.masks().alpha) return image.masks().alpha;
    if (!topByteIsAlpha) return 0;
    const std::uint32_t colours = image.masks().red | image.masks().green | image.masks().blue;
    if (colours & 0xFF000000) return 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (wordAt(image.constRow(y), x) & 0xFF000000) return 0xFF000000;
    return 0;
}

// Draws the image at the top-left corner of the white canvas: blended by
// its alpha channel when it has one, otherwise through the transparency
// mask: where the mask is set the canvas stays white, whatever colour the
// image has there (writers do not all clear it).
void draw(const WorkBitmap& image, const WorkBitmap* mask, WorkBitmap& canvas) {
    const int w = std::min(image.width(), canvas.width()), h = std::min(image.height(), canvas.height());
    const std::uint32_t alpha = alphaMaskOf(image, mask != nullptr);
    // Only the part that lands on the canvas is brought to 24 bits: the
    // image may be far larger than the canvas.
    std::vector<std::uint8_t> colourRow(3 * std::size_t(w));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* c = colourRow.data();
        const std::uint8_t* stored = image.constRow(y);
        for (int x = 0; x < w; ++x) {
            const ColorValue v = decodePixel(image, stored, x);
            c[3 * x] = std::uint8_t(blueOf(v)), c[3 * x + 1] = std::uint8_t(greenOf(v)), c[3 * x + 2] = std::uint8_t(redOf(v));
        }
        std::uint8_t* out = canvas.row(y);
        if (alpha) {
            const std::uint8_t* words = image.constRow(y);
            for (int x = 0; x < w; ++x) {
                const int a = channelValue(wordAt(words, x), alpha);
                for (int i = 0; i < 3; ++i) out[3 * x + i] = overWhite(c[3 * x + i], a);
            }
        } else if (mask) {
            const std::uint8_t* m = mask->constRow(y);
            for (int x = 0; x < w; ++x) {
                const bool through = m[x >> 3] >> (7 - (x & 7)) & 1;
                if (!through) std::memcpy(out + 3 * x, c + 3 * x, 3);
            }
        } else {
            std::memcpy(out, c, 3 * std::size_t(w));
        }
    }
}

}  // namespace

WorkBitmap decodeIcon(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.empty()) fail(name, "the file is empty");
    if (bytes.size() < 6) fail(name, "the file is too short to be an icon");
    const std::uint32_t reserved = le16(bytes.data()), type = le16(bytes.data() + 2), count = le16(bytes.data() + 4);
    if (reserved == 0 && type == 2) fail(name, "it is a cursor, not an icon");
    if (reserved != 0 || type != 1) fail(name, "not an icon file");
    if (count == 0) fail(name, "the icon file holds no images");
    if (6 + 16 * std::uint64_t(count) > bytes.size()) fail(name, "the file ends inside its list of images");

    Entry best = describe(bytes, 0);
    for (std::size_t i = 1; i < count; ++i) {
        const Entry e = describe(bytes, i);
        if (suitsBetter(e, best)) best = e;
    }
    if (!best.inside) fail(name, "the icon's image lies outside the file");
    const std::span<const std::uint8_t> data = bytes.subspan(std::size_t(best.offset), std::size_t(best.size));

    WorkBitmap canvas(kStandardIconSize, kStandardIconSize);
    if (best.png) {
        if (best.width <= 0 || best.height <= 0) fail(name, "the icon's PNG image is damaged");
        if (tooManyPixels(best.width, best.height))
            fail(name, tooManyPixelsReason(best.width, best.height, "the icon image"));
        if (std::uint64_t(best.width * best.height) > best.size * kMaxPngPixelsPerByte)
            fail(name, "the icon's PNG image is too short for its size (" + std::to_string(best.width) + " x " +
                           std::to_string(best.height) + ")");
        WorkBitmap image;
        try {
            image = decodePngForIcon(data);
        } catch (const FileError& e) {
            fail(name, e.reason());
        } catch (const std::exception& e) {
            fail(name, e.what());
        }
        if (image.empty()) fail(name, "the icon's PNG image cannot be decoded");
        draw(image, nullptr, canvas);
        return canvas;
    }

    try {
        const WorkBitmap image = decodeDib(data, name, true);
        const WorkBitmap mask = iconMaskOf(data, name);
        draw(image, &mask, canvas);
    } catch (const IconError&) {
        throw;
    } catch (const FileError& e) {
        fail(name, e.reason());
    }
    return canvas;
}

WorkBitmap readIconFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readFileBytes(path);
    } catch (const FileError& e) {
        fail(path, e.reason());
    }
    return decodeIcon(bytes, path);
}

}  // namespace hueline
