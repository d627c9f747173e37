// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "imaging/ops/freehand.h"

namespace hueline {
namespace {

constexpr ColorValue kRed = makeColor(255, 0, 0);

// Whether (px, py) lies in the disk of a stamp made at (x, y), from the
// circle itself: in the column at distance d the half-height is the
// nearest integer to sqrt(256 - d * d).
bool inDisk(int x, int y, int px, int py) {
    const int d = std::abs(px - (x + 16));
    if (d > 16) return false;
    const int h = int(std::lround(std::sqrt(256.0 - d * d)));
    return std::abs(py - (y + 16)) <= h;
}

int countColour(const WorkBitmap& p, ColorValue c) {
    int n = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) n += p.pixel(x, y) == c;
    return n;
}

TEST(Stamp, DiskHas833PixelsAndFollowsTheCircle) {
    for (int d = 0; d <= 16; ++d)
        EXPECT_EQ(kStampHalfHeights[std::size_t(d)], int(std::lround(std::sqrt(256.0 - d * d)))) << d;

    WorkBitmap p(60, 60);
    stamp(p, 5, 7, StampTool::Pen, kBlack);
    EXPECT_EQ(countColour(p, kBlack), 833);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(p.pixel(x, y) == kBlack, inDisk(5, 7, x, y)) << x << "," << y;
    // The outermost columns hold one pixel each, on the centre row.
    EXPECT_EQ(p.pixel(5, 23), kBlack);
    EXPECT_EQ(p.pixel(5, 22), kWhite);
    EXPECT_EQ(p.pixel(37, 23), kBlack);
    EXPECT_EQ(p.pixel(38, 23), kWhite);
}

TEST(Stamp, PenAtTheOriginNeverReachesTheCornerPixel) {
    WorkBitmap p(40, 40);
    stamp(p, 0, 0, StampTool::Pen, kRed);
    EXPECT_EQ(p.pixel(0, 0), kWhite);
    EXPECT_EQ(p.pixel(16, 16), kRed);
    EXPECT_EQ(p.pixel(16, 0), kRed);
    EXPECT_EQ(p.pixel(0, 16), kRed);
    EXPECT_EQ(p.pixel(0, 15), kWhite);
    EXPECT_EQ(countColour(p, kRed), 833);
}

TEST(Stamp, BrushPaintsOnlyWhatIsNotWhite) {
    WorkBitmap p(40, 40);
    // Left half almost white, a dark square in the lower right.
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 20; ++x) p.setPixel(x, y, makeColor(255, 255, 254));
    for (int y = 30; y < 40; ++y)
        for (int x = 30; x < 40; ++x) p.setPixel(x, y, makeColor(10, 20, 30));
    const WorkBitmap before = p;
    stamp(p, 2, 2, StampTool::Brush, kRed);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const ColorValue was = before.pixel(x, y);
            const ColorValue expected = inDisk(2, 2, x, y) && was != kWhite ? kRed : was;
            ASSERT_EQ(p.pixel(x, y), expected) << x << "," << y;
        }
    EXPECT_GT(countColour(p, kRed), 0);
    WorkBitmap white(50, 50);
    stamp(white, 10, 10, StampTool::Brush, kRed);
    EXPECT_EQ(white, WorkBitmap(50, 50));

    // A white brush turns every non-white pixel of the disk white.
    stamp(p, 2, 2, StampTool::Brush, kWhite);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            if (!inDisk(2, 2, x, y)) continue;
            ASSERT_EQ(p.pixel(x, y), kWhite) << x << "," << y;
        }
}

TEST(Stamp, RubberPaintsWhiteWhateverTheColour) {
    WorkBitmap p(50, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) p.setPixel(x, y, kBlack);
    stamp(p, 3, 4, StampTool::Rubber, kRed);
    EXPECT_EQ(countColour(p, kRed), 0);
    EXPECT_EQ(countColour(p, kWhite), 833);
    EXPECT_EQ(p.pixel(19, 20), kWhite);
}

TEST(Stamp, ClipsAtEveryEdge) {
    // Near the right and bottom edges only the part inside is painted.
    WorkBitmap p(30, 25);
    stamp(p, 20, 15, StampTool::Pen, kBlack);
    int expected = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 30; ++x) {
            expected += inDisk(20, 15, x, y);
            ASSERT_EQ(p.pixel(x, y) == kBlack, inDisk(20, 15, x, y)) << x << "," << y;
        }
    EXPECT_EQ(countColour(p, kBlack), expected);
    EXPECT_GT(expected, 0);
    EXPECT_LT(expected, 833);

    // Above and left of the picture, partly and wholly outside, and at the
    // ends of the coordinate range: nothing outside is touched, no wrap.
    WorkBitmap q(30, 25);
    stamp(q, -20, -10, StampTool::Pen, kBlack);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(q.pixel(x, y) == kBlack, inDisk(-20, -10, x, y));
    const WorkBitmap before = q;
    for (auto [x, y] : {std::pair{30, 0}, std::pair{0, 25}, std::pair{-33, 0}, std::pair{INT_MAX, INT_MAX},
                        std::pair{INT_MIN, INT_MIN}, std::pair{INT_MAX - 10, 0}})
        stamp(q, x, y, StampTool::Pen, kRed);
    EXPECT_EQ(q, before);

    WorkBitmap empty;
    stamp(empty, 0, 0, StampTool::Pen, kBlack);
    EXPECT_TRUE(empty.empty());
}

TEST(Stamp, KeepsThePicturesOwnFormat) {
    // A 1-bit picture is painted through its palette, as on a canvas.
    WorkBitmap p(40, 40, PixelFormat::Bits1);
    stamp(p, 0, 0, StampTool::Pen, kBlack);
    EXPECT_EQ(p.format(), PixelFormat::Bits1);
    EXPECT_EQ(countColour(p, kBlack), 833);
    stamp(p, 0, 0, StampTool::Rubber, kBlack);
    EXPECT_EQ(countColour(p, kBlack), 0);
}

}  // namespace
}  // namespace hueline
