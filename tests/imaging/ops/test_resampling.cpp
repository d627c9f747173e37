// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>

#include "imaging/picture/errors.h"
#include "imaging/ops/resampling.h"

namespace hueline {
namespace {

// A reproducible picture with edges and noise in every channel.
WorkBitmap noisePicture(int w, int h, std::uint32_t seed) {
    WorkBitmap p(w, h);
    std::uint32_t s = seed;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int i = 0; i < 3 * w; ++i) {
            s = s * 1664525u + 1013904223u;
            r[i] = std::uint8_t(s >> 24);
        }
    }
    return p;
}

// The area average of one target pixel as the definition says it, in
// double precision: every source pixel weighted by the part of it that
// the target pixel's footprint covers.
int referenceAverage(const WorkBitmap& src, int tw, int th, int tx, int ty, int channel) {
    const double sx0 = double(tx) * src.width() / tw, sx1 = double(tx + 1) * src.width() / tw;
    const double sy0 = double(ty) * src.height() / th, sy1 = double(ty + 1) * src.height() / th;
    double sum = 0, area = 0;
    for (int y = int(std::floor(sy0)); y < int(std::ceil(sy1)); ++y) {
        const double cy = std::min(sy1, y + 1.0) - std::max(sy0, double(y));
        for (int x = int(std::floor(sx0)); x < int(std::ceil(sx1)); ++x) {
            const double cx = std::min(sx1, x + 1.0) - std::max(sx0, double(x));
            sum += cx * cy * src.row(y)[3 * x + channel];
            area += cx * cy;
        }
    }
    return int(std::lround(sum / area));
}

void expectNearReference(const WorkBitmap& src, int tw, int th) {
    const WorkBitmap out = areaResample(src, tw, th);
    ASSERT_EQ(out.width(), tw);
    ASSERT_EQ(out.height(), th);
    ASSERT_EQ(out.format(), PixelFormat::Bits24);
    int worst = 0;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(out.row(y)[3 * x + c] - referenceAverage(src, tw, th, x, y, c)));
    EXPECT_LE(worst, 1) << src.width() << "x" << src.height() << " -> " << tw << "x" << th;
}

TEST(AreaResample, MatchesThePerPixelAreaAverage) {
    const WorkBitmap p = noisePicture(97, 61, 7);
    expectNearReference(p, 77, 48);    // zoom out (0.8)
    expectNearReference(p, 121, 76);   // zoom in (1.25)
    expectNearReference(p, 5, 3);      // many source pixels per target pixel
    expectNearReference(p, 250, 199);  // more than two targets per source pixel
    expectNearReference(p, 1, 1);      // the mean of everything
    expectNearReference(p, 200, 20);   // wider and lower at once
    expectNearReference(noisePicture(2000, 3, 9), 3, 2);  // thousands of source pixels per target
    expectNearReference(noisePicture(1, 2, 5), 4, 7);     // one column spread out
    expectNearReference(noisePicture(2, 3, 6), 3, 5);
}

TEST(AreaResample, SameSizeIsAnExactCopy) {
    const WorkBitmap p = noisePicture(37, 23, 3);
    EXPECT_EQ(areaResample(p, 37, 23), p);
}

TEST(AreaResample, FlatColourStaysExactlyFlat) {
    WorkBitmap p(53, 41);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 53; ++x) p.setPixel(x, y, makeColor(201, 3, 77));
    for (auto [w, h] : {std::pair{42, 32}, std::pair{66, 51}, std::pair{7, 1}, std::pair{300, 2}}) {
        const WorkBitmap out = areaResample(p, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(out.pixel(x, y), makeColor(201, 3, 77)) << w << "x" << h;
    }
}

TEST(AreaResample, HalvingAveragesPairsExactly) {
    // 2:1 needs no rounding beyond the final one: (a + b) / 2 to nearest.
    WorkBitmap p(4, 1);
    const std::uint8_t v[4] = {10, 21, 200, 0};
    for (int x = 0; x < 4; ++x) p.setPixel(x, 0, makeColor(v[x], v[x], v[x]));
    const WorkBitmap out = areaResample(p, 2, 1);
    EXPECT_EQ(redOf(out.pixel(0, 0)), 16);  // 15.5 rounds up
    EXPECT_EQ(redOf(out.pixel(1, 0)), 100);
}

TEST(AreaResample, EmptySidesAndOtherFormats) {
    const WorkBitmap p = noisePicture(10, 10, 1);
    EXPECT_EQ(areaResample(p, 0, 7).width(), 0);
    EXPECT_EQ(areaResample(p, 0, 7).height(), 7);
    EXPECT_EQ(areaResample(p, 5, 0).height(), 0);
    // Nothing to average: a white picture of the asked size.
    const WorkBitmap fromEmpty = areaResample(WorkBitmap(), 3, 2);
    EXPECT_EQ(fromEmpty, WorkBitmap(3, 2));

    WorkBitmap indexed = p;
    indexed.setPixelFormat(PixelFormat::Bits8);
    const WorkBitmap out = areaResample(indexed, 7, 6);
    EXPECT_EQ(out.format(), PixelFormat::Bits24);
    EXPECT_EQ(out, areaResample(indexed.to24(), 7, 6));
}

TEST(ZoomedPicture, RefusesToGrowPastTheLargestPicture) {
    EXPECT_THROW(zoomedPicture(noisePicture(2, 2, 1), 20000, 20000, 1.25), UserError);
    EXPECT_THROW(zoomedPicture(noisePicture(2, 2, 1), INT_MAX, 1, 1.25), UserError);
}

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(386, 500, 1000), 193);
    EXPECT_EQ(MulDiv(1, 3, 2), 2);
    EXPECT_EQ(MulDiv(-1, 3, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, -2), -3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);   // 2.33
    EXPECT_EQ(MulDiv(8, 1, 3), 3);   // 2.67
    EXPECT_EQ(MulDiv(-8, 1, 3), -3);
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);  // the product needs 64 bits
    EXPECT_EQ(MulDiv(3, 4, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);  // does not fit
}

TEST(FitRectangle, FillsTheWidthOrTheHeight) {
    EXPECT_EQ(fitRectangle(386, 400, 1000, 500), (Rect{0, 103, 386, 296}));
    EXPECT_EQ(fitRectangle(386, 400, 100, 100), (Rect{0, 7, 386, 393}));
    // Frame relatively wider: full height, centred across.
    EXPECT_EQ(fitRectangle(386, 400, 100, 400), (Rect{143, 0, 243, 400}));
    // Equal ratios fill the width.
    EXPECT_EQ(fitRectangle(386, 400, 193, 200), (Rect{0, 0, 386, 400}));
    // Odd leftovers: the offset truncates, the extra pixel goes below.
    EXPECT_EQ(fitRectangle(10, 10, 10, 7), (Rect{0, 1, 10, 8}));
    EXPECT_EQ(fitRectangle(386, 400, 0, 0), Rect{});
}

// A picture whose every pixel tells where it is.
WorkBitmap coordinatePicture(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, makeColor(x & 255, y & 255, (x >> 8) | (y >> 8) << 4));
    return p;
}

TEST(FitToPane, WideningPictureBetweenWhiteBars) {
    const WorkBitmap p = coordinatePicture(1000, 500);
    const WorkBitmap f = FitToPane(p, 386, 400);
    ASSERT_EQ(f.width(), 386);
    ASSERT_EQ(f.height(), 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 386; ++x) {
            if (y < 103 || y >= 296) {
                ASSERT_EQ(f.pixel(x, y), kWhite) << x << "," << y;
            } else {
                const int sx = x * 1000 / 386, sy = (y - 103) * 500 / 193;
                ASSERT_EQ(f.pixel(x, y), p.pixel(sx, sy)) << x << "," << y;
            }
        }
    // The corners of the picture are reached.
    EXPECT_EQ(f.pixel(0, 103), p.pixel(0, 0));
    EXPECT_EQ(f.pixel(385, 295), p.pixel(997, 497));
}

TEST(FitToPane, SmallPictureIsEnlargedPixelByPixel) {
    const WorkBitmap p = coordinatePicture(100, 100);
    const WorkBitmap f = FitToPane(p, 386, 400);
    for (int x = 0; x < 386; ++x) {
        EXPECT_EQ(f.pixel(x, 6), kWhite);
        EXPECT_EQ(f.pixel(x, 393), kWhite);
    }
    // No averaging: blocks of 3 or 4 copies of one source pixel.
    EXPECT_EQ(f.pixel(3, 7), p.pixel(0, 0));
    EXPECT_EQ(f.pixel(4, 7), p.pixel(1, 0));
    EXPECT_EQ(f.pixel(385, 392), p.pixel(99, 99));
}

TEST(FitToPane, EmptyAndIndexedPictures) {
    EXPECT_EQ(FitToPane(WorkBitmap(), 386, 400), WorkBitmap(386, 400));
    EXPECT_EQ(FitToPane(WorkBitmap(0, 40), 30, 20), WorkBitmap(30, 20));
    WorkBitmap indexed = coordinatePicture(50, 70);
    indexed.setPixelFormat(PixelFormat::Bits8);
    const WorkBitmap f = FitToPane(indexed, 386, 400);
    EXPECT_EQ(f.format(), PixelFormat::Bits24);
    EXPECT_EQ(f, FitToPane(indexed.to24(), 386, 400));
}

}  // namespace
}  // namespace hueline
