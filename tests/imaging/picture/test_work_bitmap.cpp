// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/ops/invert.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {
namespace {

// Writes (r, g, b) at x of a 24-bit row.
void put(WorkBitmap& b, int x, int y, int r, int g, int bl) {
    std::uint8_t* p = b.row(y) + 3 * x;
    p[0] = std::uint8_t(bl);
    p[1] = std::uint8_t(g);
    p[2] = std::uint8_t(r);
}

TEST(WorkBitmap, EmptyAndFreshPictures) {
    WorkBitmap e;
    EXPECT_EQ(e.width(), 0);
    EXPECT_EQ(e.height(), 0);
    EXPECT_TRUE(e.empty());
    EXPECT_EQ(e.format(), PixelFormat::Bits24);

    // A picture given a size starts white, whatever its format.
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits16,
                          PixelFormat::Bits24, PixelFormat::Bits32}) {
        WorkBitmap b(5, 3, f);
        EXPECT_EQ(b.format(), f);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(b.pixel(x, y), kWhite) << int(f);
    }
}

TEST(WorkBitmap, RowsAreBlueGreenRedFromTheTop) {
    WorkBitmap b(3, 2);
    b.setPixel(1, 0, makeColor(10, 20, 30));
    const std::uint8_t* r0 = std::as_const(b).row(0);
    EXPECT_EQ(r0[3], 30);  // blue
    EXPECT_EQ(r0[4], 20);  // green
    EXPECT_EQ(r0[5], 10);  // red
    EXPECT_EQ(b.pixel(1, 0), 0x1E140Au);
    EXPECT_EQ(b.pixel(1, 1), kWhite);
    // Rows are padded to whole words; each row is fetched on its own.
    EXPECT_EQ(b.stride(), 12u);
}

TEST(WorkBitmap, CopiesSharePixelsUntilWritten) {
    WorkBitmap a(4, 4);
    WorkBitmap b = a;
    EXPECT_TRUE(a.sharesPixelsWith(b));
    (void)std::as_const(b).row(2);  // reading keeps sharing
    EXPECT_TRUE(a.sharesPixelsWith(b));
    put(b, 0, 0, 1, 2, 3);
    EXPECT_FALSE(a.sharesPixelsWith(b));
    EXPECT_EQ(a.pixel(0, 0), kWhite);
    EXPECT_EQ(b.pixel(0, 0), makeColor(1, 2, 3));
}

TEST(WorkBitmap, CanvasWritesOutsideAreIgnored) {
    WorkBitmap b(2, 2);
    b.setPixel(-1, 0, kBlack);
    b.setPixel(0, 2, kBlack);
    b.setPixel(2, 0, kBlack);
    EXPECT_EQ(b, WorkBitmap(2, 2));
    EXPECT_EQ(b.pixel(5, 5), kWhite);
}

TEST(WorkBitmap, IndexedPicturesConvertThroughTheirPalette) {
    WorkBitmap b(9, 1, PixelFormat::Bits4);
    b.setPalette({{0, 0, 255}, {0, 255, 0}, {255, 0, 0}});  // red, green, blue
    std::uint8_t* r = b.row(0);
    // Indices 0,1,2,0,1,2,7,... ; 7 lies beyond the three entries.
    r[0] = 0x01;
    r[1] = 0x20;
    r[2] = 0x12;
    r[3] = 0x70;
    r[4] = 0x00;
    const WorkBitmap c = b.to24();
    EXPECT_EQ(c.format(), PixelFormat::Bits24);
    EXPECT_EQ(c.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(c.pixel(1, 0), makeColor(0, 255, 0));
    EXPECT_EQ(c.pixel(2, 0), makeColor(0, 0, 255));
    EXPECT_EQ(c.pixel(3, 0), makeColor(255, 0, 0));
    EXPECT_EQ(c.pixel(5, 0), makeColor(0, 0, 255));
    EXPECT_EQ(c.pixel(6, 0), kBlack);  // an index past the palette shows black

    WorkBitmap mono(10, 1, PixelFormat::Bits1);
    mono.setPalette({{0, 0, 0}, {255, 255, 255}});
    mono.row(0)[0] = 0b10100000;
    mono.row(0)[1] = 0b01000000;
    const WorkBitmap m = mono.to24();
    EXPECT_EQ(m.pixel(0, 0), kWhite);
    EXPECT_EQ(m.pixel(1, 0), kBlack);
    EXPECT_EQ(m.pixel(2, 0), kWhite);
    EXPECT_EQ(m.pixel(8, 0), kBlack);
    EXPECT_EQ(m.pixel(9, 0), kWhite);
}

TEST(WorkBitmap, SixteenBitChannelsExpandSoThatFullIs255) {
    WorkBitmap b(3, 1, PixelFormat::Bits16);  // 5-5-5
    std::uint8_t* r = b.row(0);
    auto word = [&](int x, std::uint16_t w) {
        r[2 * x] = std::uint8_t(w);
        r[2 * x + 1] = std::uint8_t(w >> 8);
    };
    word(0, 0x7C00);                   // red 31
    word(1, 16 << 5);                  // green 16
    word(2, 1);                        // blue 1
    const WorkBitmap c = b.to24();
    EXPECT_EQ(c.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(c.pixel(1, 0), makeColor(0, 132, 0));
    EXPECT_EQ(c.pixel(2, 0), makeColor(0, 0, 8));

    // 5-6-5 masks: a 6-bit green of 63 is full.
    WorkBitmap d(1, 1, PixelFormat::Bits16);
    d.setMasks({0xF800, 0x07E0, 0x001F, 0});
    d.row(0)[0] = 0xE0;
    d.row(0)[1] = 0x07;
    EXPECT_EQ(d.to24().pixel(0, 0), makeColor(0, 255, 0));
}

TEST(WorkBitmap, ThirtyTwoBitDropsTheUnusedByte) {
    WorkBitmap b(2, 1, PixelFormat::Bits32);
    std::uint8_t* r = b.row(0);
    const std::uint8_t px[8] = {1, 2, 3, 99, 4, 5, 6, 0};
    std::memcpy(r, px, 8);
    const WorkBitmap c = b.to24();
    EXPECT_EQ(c.pixel(0, 0), makeColor(3, 2, 1));
    EXPECT_EQ(c.pixel(1, 0), makeColor(6, 5, 4));
}

TEST(WorkBitmap, ConversionsToOtherFormatsKeepTheLook) {
    WorkBitmap b(4, 2);
    b.setPixel(0, 0, kBlack);
    b.setPixel(1, 0, makeColor(255, 0, 0));
    b.setPixel(2, 1, makeColor(0, 0, 255));
    for (PixelFormat f : {PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits16, PixelFormat::Bits32}) {
        WorkBitmap c = b;
        c.setPixelFormat(f);
        EXPECT_EQ(c.format(), f);
        EXPECT_EQ(c.to24(), b) << int(f);
    }
}

TEST(WorkBitmap, InvertKeepsTheFormat) {
    WorkBitmap b(1, 1);
    b.setPixel(0, 0, makeColor(10, 20, 30));
    invertPicture(b);
    EXPECT_EQ(b.pixel(0, 0), makeColor(245, 235, 225));

    // A copy that shares its pixels inverts into memory of its own.
    WorkBitmap shared = b;
    invertPicture(shared);
    EXPECT_FALSE(shared.sharesPixelsWith(b));
    EXPECT_EQ(shared.pixel(0, 0), makeColor(10, 20, 30));
    EXPECT_EQ(b.pixel(0, 0), makeColor(245, 235, 225));

    // With a palette, the palette is inverted and the indices kept, so a
    // short gray table gives the true negative.
    WorkBitmap g(2, 1, PixelFormat::Bits8);
    std::vector<PaletteEntry> gray;
    for (int i = 0; i < 236; ++i) {
        const auto v = std::uint8_t(i * 255 / 235);
        gray.push_back({v, v, v});
    }
    g.setPalette(gray);
    g.row(0)[0] = 0;
    g.row(0)[1] = 235;
    invertPicture(g);
    EXPECT_EQ(g.format(), PixelFormat::Bits8);
    EXPECT_EQ(g.pixel(0, 0), kWhite);
    EXPECT_EQ(g.pixel(1, 0), kBlack);
}

TEST(WorkBitmap, EqualityIgnoresRowPadding) {
    WorkBitmap a(3, 2), b(3, 2);
    a.row(0)[9] = 1;  // padding byte of row 0
    EXPECT_EQ(a, b);
    a.setPixel(2, 1, kBlack);
    EXPECT_NE(a, b);
}

TEST(WorkBitmap, RefusesPicturesOverTheLimit) {
    EXPECT_THROW(WorkBitmap(20000, 20000), std::length_error);
    EXPECT_THROW(WorkBitmap::uninitialized24(-1, 4), std::invalid_argument);
}

}  // namespace
}  // namespace hueline
