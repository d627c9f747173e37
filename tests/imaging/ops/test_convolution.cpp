// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "imaging/ops/invert.h"
#include "imaging/ops/convolution.h"
#include "imaging/ops/routines.h"
#include "support/pictures.h"

namespace hueline {
namespace {

using test_support::filled; using test_support::randomPicture;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

int channel(const WorkBitmap& p, int x, int y, int c) { return p.row(y)[3 * x + c]; }

// The weighted sum of one channel at (x, y), exact.
std::int64_t sumAt(const WorkBitmap& in, const Kernel& k, int x, int y, int c) {
    std::int64_t s = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) s += std::int64_t(k[(j + 1) * 3 + (i + 1)]) * channel(in, x + i, y + j, c);
    return s;
}

std::uint8_t clamp255(std::int64_t v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Pixel by pixel, channel by channel, with exact sums.
WorkBitmap referenceConvolve(const WorkBitmap& in, const Kernel& k, int divisor) {
    WorkBitmap out = in;
    for (int y = 1; y + 1 < in.height(); ++y)
        for (int x = 1; x + 1 < in.width(); ++x)
            for (int c = 0; c < 3; ++c) out.row(y)[3 * x + c] = clamp255(sumAt(in, k, x, y, c) / divisor);
    return out;
}

WorkBitmap referenceFringe(const WorkBitmap& in, const Kernel& user, const Kernel& builtIn) {
    WorkBitmap out = in;
    for (int y = 1; y + 1 < in.height(); ++y)
        for (int x = 1; x + 1 < in.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t a = clamp255(sumAt(in, user, x, y, c));
                const std::uint8_t b = clamp255(sumAt(in, builtIn, x, y, c));
                out.row(y)[3 * x + c] = a > b ? a : b;
            }
    for (int y = 0; y < in.height(); ++y)
        for (int i = 0; i < 3 * in.width(); ++i) out.row(y)[i] = std::uint8_t(255 - out.row(y)[i]);
    return out;
}

WorkBitmap convolved(const WorkBitmap& in, const Kernel& k, std::uint16_t divisor = 1) {
    WorkBitmap work;
    CopyMe(work, in);
    Convolve(k, divisor, work);
    return work;
}

// Kernels from every range of coefficients: small ones, ones whose sums
// need 32 bits, and ones whose sums leave the 32-bit range.
std::vector<Kernel> assortedKernels() {
    std::vector<Kernel> ks = {kFringe1Defaults, kFringe2Defaults, kFringe3Defaults, kSharpenKernel,
                              {0, 0, 0, 0, 1, 0, 0, 0, 0},    {3, -7, 11, -13, 17, -19, 23, -29, 31},
                              {128, 0, 0, 0, 0, 0, 0, 0, 0}, {-64, 0, 0, 0, 0, 0, 0, 0, 65},
                              {1000, -999, 0, 5, 0, 0, 0, 0, -5}, {kMax, kMin, kMax, kMin, kMax, kMin, kMax, kMin, kMax},
                              {kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax},
                              {kMin, kMin, kMin, kMin, kMin, kMin, kMin, kMin, kMin},
                              {8421504, 0, 0, 0, 0, 0, 0, 0, 0}, {8421504, 0, 0, 0, 0, 0, 0, 0, 1},
                              {-8421504, 0, 0, 0, 0, 0, 0, 0, -1}};
    std::mt19937 rng(7);
    for (int n = 0; n < 6; ++n) {
        Kernel k;
        const int span = n < 2 ? 30 : n < 4 ? 300000 : kMax;
        std::uniform_int_distribution<std::int32_t> d(-span, span);
        for (auto& w : k) w = d(rng);
        ks.push_back(k);
    }
    return ks;
}

TEST(Convolve, AgreesWithThePixelByPixelSumForEveryCoefficientRange) {
    const WorkBitmap in = randomPicture(37, 23, 1);
    for (const Kernel& k : assortedKernels())
        for (int divisor : {1, 3, 1000, 65535}) {
            const WorkBitmap out = convolved(in, k, std::uint16_t(divisor));
            ASSERT_EQ(out, referenceConvolve(in, k, divisor)) << "divisor " << divisor << " k0 " << k[0];
        }
}

TEST(Convolve, AppliesTheGridInScreenOrientation) {
    // A single bright pixel at (3, 2); with only Edit2 (the pixel above)
    // set, the bright value moves one row down; with only Edit6 (the pixel
    // to the right) it moves one column left.
    WorkBitmap in = filled(7, 6, kBlack);
    in.setPixel(3, 2, makeColor(90, 60, 30));
    WorkBitmap down = convolved(in, {0, 1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(down.pixel(3, 3), makeColor(90, 60, 30));
    EXPECT_EQ(down.pixel(3, 2), kBlack);
    WorkBitmap left = convolved(in, {0, 0, 0, 0, 0, 1, 0, 0, 0});
    EXPECT_EQ(left.pixel(2, 2), makeColor(90, 60, 30));
    EXPECT_EQ(left.pixel(4, 2), kBlack);
    WorkBitmap fromLowerRight = convolved(in, {0, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(fromLowerRight.pixel(2, 1), makeColor(90, 60, 30));
}

TEST(Convolve, IdentityUniformAndZeroKernels) {
    const WorkBitmap photo = randomPicture(20, 15, 2);
    EXPECT_EQ(convolved(photo, {0, 0, 0, 0, 1, 0, 0, 0, 0}), photo);
    const WorkBitmap uniform = filled(9, 8, makeColor(12, 200, 77));
    EXPECT_EQ(convolved(uniform, kFringe1Defaults), uniform);  // the weights sum to 1

    const WorkBitmap zero = convolved(photo, {0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool border = x == 0 || y == 0 || x == 19 || y == 14;
            EXPECT_EQ(zero.pixel(x, y), border ? photo.pixel(x, y) : kBlack) << x << "," << y;
        }
}

TEST(Convolve, ClampsBothWays) {
    WorkBitmap in = filled(5, 5, makeColor(200, 100, 0));
    const WorkBitmap doubled = convolved(in, {0, 0, 0, 0, 2, 0, 0, 0, 0});
    EXPECT_EQ(doubled.pixel(2, 2), makeColor(255, 200, 0));
    EXPECT_EQ(doubled.pixel(0, 0), makeColor(200, 100, 0));
    const WorkBitmap negated = convolved(in, {0, 0, 0, 0, -1, 0, 0, 0, 0});
    EXPECT_EQ(negated.pixel(2, 2), kBlack);
}

TEST(Convolve, HugeCoefficientsClampWithoutOverflow) {
    // Nine times the largest coefficient on white: the sum is about 5e12,
    // far outside 32 bits; it clamps to 255, and the smallest to 0.
    const WorkBitmap white = filled(4, 4, kWhite);
    EXPECT_EQ(convolved(white, {kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax}), white);
    EXPECT_EQ(convolved(white, {kMin, kMin, kMin, kMin, kMin, kMin, kMin, kMin, kMin}).pixel(1, 1), kBlack);
    // Opposite extremes cancel exactly: kMax + kMin = -1 per pair.
    const WorkBitmap gray = filled(4, 4, makeColor(1, 1, 1));
    EXPECT_EQ(convolved(gray, {kMax, kMin, 0, 0, 1, 0, 0, 0, 0}).pixel(1, 1), kBlack);
    EXPECT_EQ(convolved(gray, {kMax, kMin, 0, 0, 2, 0, 0, 0, 0}).pixel(1, 2), makeColor(1, 1, 1));
}

TEST(Convolve, PicturesWithoutInteriorAreUnchanged) {
    for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {2, 5}, {5, 2}, {2, 2}, {1, 9}}) {
        const WorkBitmap in = randomPicture(w, h, 4);
        EXPECT_EQ(convolved(in, {5, 5, 5, 5, 5, 5, 5, 5, 5}), in) << w << "x" << h;
    }
}

TEST(Convolve, CopyMeGivesA24BitCopyOfAnyFormat) {
    WorkBitmap indexed(6, 4, PixelFormat::Bits8);
    indexed.setPixel(1, 1, kBlack);
    indexed.setPixel(2, 3, makeColor(255, 0, 0));
    WorkBitmap target = randomPicture(2, 2, 5);
    CopyMe(target, indexed);
    EXPECT_EQ(target.format(), PixelFormat::Bits24);
    EXPECT_EQ(target, indexed.to24());
    // And an indexed input convolves like its 24-bit twin.
    EXPECT_EQ(convolved(indexed, kFringe1Defaults), convolved(indexed.to24(), kFringe1Defaults));
}

TEST(Fringe, AgreesWithThePixelByPixelFormForEveryCoefficientRange) {
    const WorkBitmap in = randomPicture(29, 17, 6);
    const Kernel otherBuiltIn = {0, 1, 0, 1, -4, 1, 0, 1, 0};
    for (const Kernel& user : assortedKernels())
        for (const Kernel& builtIn : {kFringe2BuiltIn, kFringe3BuiltIn, otherBuiltIn, user})
            ASSERT_EQ(fringePicture(in, user, builtIn), referenceFringe(in, user, builtIn)) << user[0];
}

TEST(Fringe, UniformPictureTurnsWhiteInsideAndNegativeOnTheBorder) {
    const ColorValue colour = makeColor(10, 20, 30);
    for (const auto& [user, builtIn] : {std::pair{kFringe2Defaults, kFringe2BuiltIn}, {kFringe3Defaults, kFringe3BuiltIn}}) {
        const WorkBitmap out = fringePicture(filled(6, 5, colour), user, builtIn);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool border = x == 0 || y == 0 || x == 5 || y == 4;
                EXPECT_EQ(out.pixel(x, y), border ? makeColor(245, 235, 225) : kWhite) << x << "," << y;
            }
    }
}

// Black in columns 0..3, white in 4..7; rows 0..4.
WorkBitmap verticalBoundary(bool blackOnLeft) {
    WorkBitmap p(8, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x) p.setPixel(x, y, (x < 4) == blackOnLeft ? kBlack : kWhite);
    return p;
}

// Which interior columns come out black (all interior rows agree).
std::vector<int> blackInteriorColumns(const WorkBitmap& out) {
    std::vector<int> cols;
    for (int x = 1; x < 7; ++x) {
        int black = 0;
        for (int y = 1; y < 4; ++y) {
            const ColorValue c = out.pixel(x, y);
            EXPECT_TRUE(c == kBlack || c == kWhite) << x << "," << y;
            black += c == kBlack;
        }
        EXPECT_TRUE(black == 0 || black == 3) << x;
        if (black == 3) cols.push_back(x);
    }
    return cols;
}

TEST(Fringe, VerticalBoundaryDrawsTwoColumnsForOneKernelOnly) {
    const WorkBitmap bw = verticalBoundary(true), wb = verticalBoundary(false);
    EXPECT_EQ(blackInteriorColumns(fringePicture(bw, kFringe2Defaults, kFringe2BuiltIn)), (std::vector<int>{3, 4}));
    EXPECT_EQ(blackInteriorColumns(fringePicture(bw, kFringe3Defaults, kFringe3BuiltIn)), std::vector<int>{});
    EXPECT_EQ(blackInteriorColumns(fringePicture(wb, kFringe2Defaults, kFringe2BuiltIn)), std::vector<int>{});
    EXPECT_EQ(blackInteriorColumns(fringePicture(wb, kFringe3Defaults, kFringe3BuiltIn)), (std::vector<int>{3, 4}));
    // The border is the negative of the input's.
    const WorkBitmap out = fringePicture(bw, kFringe2Defaults, kFringe2BuiltIn);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(out.pixel(x, 0), x < 4 ? kWhite : kBlack);
        EXPECT_EQ(out.pixel(x, 4), x < 4 ? kWhite : kBlack);
    }
}

TEST(Fringe, BlueZeroComesOutBlue255) {
    WorkBitmap in = randomPicture(10, 7, 8);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 10; ++x) in.row(y)[3 * x] = 0;
    for (const Kernel& builtIn : {kFringe2BuiltIn, kFringe3BuiltIn}) {
        const WorkBitmap out = fringePicture(in, kFringe1Defaults, builtIn);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 10; ++x) ASSERT_EQ(channel(out, x, y, 0), 255) << x << "," << y;
    }
}

TEST(Fringe, SmallPicturesGiveTheirNegative) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {2, 7}, {7, 2}}) {
        const WorkBitmap in = randomPicture(w, h, 9);
        WorkBitmap negative = in;
        invertPicture(negative);
        EXPECT_EQ(fringePicture(in, kFringe2Defaults, kFringe2BuiltIn), negative) << w << "x" << h;
        EXPECT_EQ(fringePicture(in, kFringe3Defaults, kFringe3BuiltIn), negative) << w << "x" << h;
    }
    EXPECT_TRUE(fringePicture(WorkBitmap(), kFringe2Defaults, kFringe2BuiltIn).empty());
}

TEST(Sharpen, KernelValuesClampsAndBorder) {
    // 5 * 100 - 4 * 110 = 60.
    WorkBitmap in = filled(5, 5, makeColor(110, 110, 110));
    in.setPixel(2, 2, makeColor(100, 100, 100));
    EXPECT_EQ(sharpenPicture(in).pixel(2, 2), makeColor(60, 60, 60));

    // A white pixel on black stays white; its neighbours stay black.
    WorkBitmap dot = filled(7, 7, kBlack);
    dot.setPixel(3, 3, kWhite);
    EXPECT_EQ(sharpenPicture(dot), dot);

    const WorkBitmap uniform = filled(6, 4, makeColor(33, 66, 99));
    EXPECT_EQ(sharpenPicture(uniform), uniform);

    const WorkBitmap photo = randomPicture(31, 19, 10);
    EXPECT_EQ(sharpenPicture(photo), referenceConvolve(photo, kSharpenKernel, 1));
    const WorkBitmap thin = randomPicture(2, 9, 11);
    EXPECT_EQ(sharpenPicture(thin), thin);
}

}  // namespace
}  // namespace hueline
