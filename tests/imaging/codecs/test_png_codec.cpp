// SPDX-License-Identifier: GPL-3.0-or-later
// PNG reading and writing: every colour type and bit depth against the
// pixels an outside decoder gives, lossless round trips, damaged files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/picture/errors.h"
#include "support/pictures.h"

using namespace hueline;
using test_support::largestDifference;

namespace {

const std::string kData = std::string(HUELINE_TEST_DATA) + "/png/";

std::vector<std::uint8_t> bytesOf(const std::string& name) { return readFileBytes(kData + name); }

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

// The colour type and bit depth in a PNG file's header.
std::pair<int, int> typeAndDepth(const std::vector<std::uint8_t>& png) { return {png.at(25), png.at(24)}; }

}  // namespace

TEST(PngCodec, ReadsEveryColourTypeAndDepthAsAnOutsideDecoderDoes) {
    struct Case {
        const char* name;
        PixelFormat format;
        int tolerance;  // 16-bit samples and alpha may round one level apart
    } cases[] = {
        {"gray1.png", PixelFormat::Bits24, 0},     {"gray2.png", PixelFormat::Bits24, 0},
        {"gray4.png", PixelFormat::Bits24, 0},     {"gray8.png", PixelFormat::Bits24, 0},
        {"gray16.png", PixelFormat::Bits24, 1},    {"graya8.png", PixelFormat::Bits24, 1},
        {"palette1.png", PixelFormat::Bits8, 0},   {"palette2.png", PixelFormat::Bits8, 0},
        {"palette4.png", PixelFormat::Bits8, 0},   {"palette4-interlaced.png", PixelFormat::Bits8, 0},
        {"palette8.png", PixelFormat::Bits8, 0},   {"palette8-trns.png", PixelFormat::Bits8, 1},
        {"rgb8.png", PixelFormat::Bits24, 0},      {"rgb8-trns.png", PixelFormat::Bits24, 0},
        {"rgb16.png", PixelFormat::Bits24, 1},     {"rgba8.png", PixelFormat::Bits24, 1},
        {"rgba8-interlaced.png", PixelFormat::Bits24, 1}, {"rgba16.png", PixelFormat::Bits24, 1},
    };
    // The reference files are read by our own reader: first make sure it
    // reads 8-bit RGB exactly, against the BMP twin of rgb8.png.
    EXPECT_TRUE(readPngFile(kData + "rgb8.png") == readBmpFile(kData + "rgb8.bmp"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WorkBitmap picture = readPngFile(kData + c.name);
        const WorkBitmap expected = readPngFile(kData + "expected/" + c.name);
        EXPECT_EQ(picture.format(), c.format);
        EXPECT_LE(largestDifference(picture, expected), c.tolerance);
    }
}

TEST(PngCodec, SavesWithoutLossInTheSmallestLayout) {
    const WorkBitmap photo = readBmpFile(kData + "rgb8.bmp");
    WorkBitmap gray = photo, blackWhite = photo;
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            const int v = redOf(photo.pixel(x, y));
            gray.setPixel(x, y, makeColor(v, v, v));
            blackWhite.setPixel(x, y, v < 128 ? kBlack : kWhite);
        }
    }
    // Tall enough that a sample of its rows picks the row filters.
    WorkBitmap tall(photo.width(), 2100);
    for (int y = 0; y < tall.height(); ++y)
        for (int x = 0; x < tall.width(); ++x) tall.setPixel(x, y, photo.pixel((x + y / 7) % photo.width(), y % photo.height()));
    const WorkBitmap palette = readPngFile(kData + "palette8.png");
    WorkBitmap fourBits(13, 5, PixelFormat::Bits4);
    fourBits.setPalette({{0, 0, 255}, {0, 255, 0}, {255, 0, 0}});
    fourBits.setPixel(3, 1, makeColor(0, 255, 0));
    fourBits.setPixel(12, 4, makeColor(0, 0, 255));
    struct Case {
        const char* what;
        const WorkBitmap& picture;
        std::pair<int, int> typeAndDepth;
    } cases[] = {
        {"colour", photo, {2, 8}},        {"gray", gray, {0, 8}}, {"black and white", blackWhite, {0, 1}},
        {"8-bit palette", palette, {3, 8}}, {"4-bit palette", fourBits, {3, 4}}, {"tall colour", tall, {2, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> png = encodePng(c.picture);
        EXPECT_EQ(typeAndDepth(png), c.typeAndDepth);
        const WorkBitmap back = decodePng(png, "back.png");
        if (c.picture.format() == PixelFormat::Bits24 || c.picture.format() == PixelFormat::Bits8)
            EXPECT_TRUE(back == c.picture);
        else
            EXPECT_EQ(largestDifference(back, c.picture), 0);
    }
    EXPECT_THROW(encodePng(WorkBitmap()), UserError);
}

TEST(PngCodec, RefusesDamagedFilesWithTheReason) {
    const std::vector<std::uint8_t> good = bytesOf("rgb8.png");
    auto reason = [](const std::vector<std::uint8_t>& bytes) {
        try {
            decodePng(bytes, "x.png");
        } catch (const FileError& e) {
            return e.reason();
        }
        return std::string("read");
    };
    EXPECT_EQ(reason({}), "the file ends before its pixels");
    std::vector<std::uint8_t> b = good;
    b[1] = 'Q';
    EXPECT_EQ(reason(b), "it is not a PNG file");
    // Cut inside the pixel data.
    b = good;
    b.resize(good.size() - 300);
    EXPECT_EQ(reason(b), "the file ends before its pixels");
    b = good;
    b[good.size() - 400] ^= 0x55;
    EXPECT_NE(reason(b), "read");
    // Headers claiming a bigger picture, with valid checksums: refused from
    // the header alone, or from the header and the size of the pixel data
    // (a kilobyte cannot hold 10000 x 10000 pixels), before the picture is
    // allocated.
    auto claiming = [&](std::uint8_t high, std::uint8_t low) {
        std::vector<std::uint8_t> c = good;
        for (std::size_t at : {16u, 20u}) c[at] = 0, c[at + 1] = 0, c[at + 2] = high, c[at + 3] = low;
        const std::uint32_t crc = crc32(&c[12], 17);
        for (int i = 0; i < 4; ++i) c[29 + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
        return c;
    };
    EXPECT_EQ(reason(claiming(0xEA, 0x60)), "the picture is larger than 256 megapixels (60000 x 60000)");
    EXPECT_EQ(reason(claiming(0x27, 0x10)), "the file holds too little pixel data for a picture of 10000 x 10000 pixels");
    // A text block that inflates past the limit, in an opaque gray file.
    EXPECT_EQ(reason(bytesOf("gray8-ztxt-bomb.png")), "the file holds a block of data larger than 64 MB");
}
