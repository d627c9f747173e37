// SPDX-License-Identifier: GPL-3.0-or-later
// Gray, B&W and the two splits on whole pictures.
#include <gtest/gtest.h>

#include "imaging/picture/luminance.h"
#include "imaging/ops/routines.h"
#include "imaging/ops/tones.h"
#include "support/pictures.h"

namespace hueline {
namespace {

using test_support::randomPicture;

WorkBitmap oneRow(std::initializer_list<ColorValue> colours) {
    WorkBitmap b(int(colours.size()), 1);
    int x = 0;
    for (ColorValue c : colours) b.setPixel(x++, 0, c);
    return b;
}

TEST(Gray, EveryPixelBecomesItsGrayLuminance) {
    const WorkBitmap in = randomPicture(37, 11, 7);
    const WorkBitmap out = grayPicture(in);
    ASSERT_EQ(out.width(), 37);
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            const ColorValue c = in.pixel(x, y);
            const int g = grayLuminance(redOf(c), greenOf(c), blueOf(c));
            ASSERT_EQ(out.pixel(x, y), makeColor(g, g, g)) << x << "," << y;
        }
    EXPECT_EQ(grayPicture(out), out);  // gray of gray changes nothing
}

TEST(Gray, HalfwayExamples) {
    const WorkBitmap out = grayPicture(oneRow({makeColor(255, 0, 0), makeColor(0, 0, 150), makeColor(0, 5, 5)}));
    EXPECT_EQ(out.pixel(0, 0), makeColor(76, 76, 76));
    EXPECT_EQ(out.pixel(1, 0), makeColor(16, 16, 16));
    EXPECT_EQ(out.pixel(2, 0), makeColor(3, 3, 3));
}

TEST(BlackWhite, ThresholdsAt128OfTheThresholdLuminance) {
    WorkBitmap p = oneRow({kWhite, makeColor(129, 129, 129), makeColor(130, 130, 130), makeColor(4, 212, 26),
                           makeColor(255, 255, 254)});
    BlackWhite(p);
    EXPECT_EQ(p.format(), PixelFormat::Bits24);
    EXPECT_EQ(p.pixel(0, 0), kWhite);
    EXPECT_EQ(p.pixel(1, 0), kBlack);
    EXPECT_EQ(p.pixel(2, 0), kWhite);
    EXPECT_EQ(p.pixel(3, 0), kBlack);  // exactly 128.5 rounds to 128
    EXPECT_EQ(p.pixel(4, 0), kWhite);
    for (int g = 0; g < 256; ++g)
        EXPECT_EQ(blackWhitePicture(oneRow({makeColor(g, g, g)})).pixel(0, 0), g <= 129 ? kBlack : kWhite) << g;
}

TEST(BwSplit, PositionsAtTheEnds) {
    const WorkBitmap p = oneRow({kBlack, makeColor(1, 0, 0), makeColor(0, 0, 4), makeColor(0, 1, 0),
                                 makeColor(0, 0, 5), kWhite});
    const WorkBitmap at0 = bwSplitPicture(p, 0);
    EXPECT_EQ(at0, oneRow({kBlack, kBlack, kBlack, kWhite, kWhite, kWhite}));
    EXPECT_EQ(bwSplitPicture(p, 254).pixel(5, 0), kWhite);
    const WorkBitmap at255 = bwSplitPicture(p, 255);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at255.pixel(x, 0), kBlack);
}

TEST(BwSplit, AgreesWithTheLuminanceOnRandomPictures) {
    const WorkBitmap in = randomPicture(101, 13, 3);
    for (int pos : {0, 75, 76, 125, 200, 255}) {
        const WorkBitmap bw = bwSplitPicture(in, pos);
        const WorkBitmap cs = colorSplitPicture(in, pos);
        for (int y = 0; y < in.height(); ++y)
            for (int x = 0; x < in.width(); ++x) {
                const ColorValue c = in.pixel(x, y);
                const bool white = grayLuminance(redOf(c), greenOf(c), blueOf(c)) > pos;
                ASSERT_EQ(bw.pixel(x, y), white ? kWhite : kBlack);
                ASSERT_EQ(cs.pixel(x, y), white ? kWhite : c);
            }
    }
}

TEST(ColorSplit, PureRedTurnsWhiteBelow76) {
    const WorkBitmap red = oneRow({makeColor(255, 0, 0), kBlack, kWhite});
    EXPECT_EQ(colorSplitPicture(red, 75).pixel(0, 0), kWhite);
    EXPECT_EQ(colorSplitPicture(red, 76).pixel(0, 0), makeColor(255, 0, 0));
    for (int pos : {0, 125, 255}) {
        EXPECT_EQ(colorSplitPicture(red, pos).pixel(1, 0), kBlack);
        EXPECT_EQ(colorSplitPicture(red, pos).pixel(2, 0), kWhite);  // white stays white
    }
}

// Every one of the 16,777,216 colours once, in rows of 4096 pixels, so
// that the sixteen-pixel blocks see every colour and every tie.
TEST(PointOperations, EveryColourAgreesWithTheLuminance) {
    WorkBitmap all = WorkBitmap::uninitialized24(4096, 4096);
    for (int y = 0; y < 4096; ++y) {
        std::uint8_t* r = all.row(y);
        for (int x = 0; x < 4096; ++x) {
            const std::uint32_t c = std::uint32_t(y) * 4096 + std::uint32_t(x);
            r[3 * x] = std::uint8_t(c);
            r[3 * x + 1] = std::uint8_t(c >> 8);
            r[3 * x + 2] = std::uint8_t(c >> 16);
        }
    }
    const WorkBitmap gray = grayPicture(all), bw = blackWhitePicture(all);
    const WorkBitmap split = bwSplitPicture(all, 76), colour = colorSplitPicture(all, 125);
    long wrong = 0;
    for (int y = 0; y < 4096; ++y) {
        const std::uint8_t *in = all.row(y), *g = gray.row(y), *b = bw.row(y), *s = split.row(y), *c = colour.row(y);
        for (int x = 0; x < 4096; ++x) {
            const int B = in[3 * x], G = in[3 * x + 1], R = in[3 * x + 2];
            const int lum = grayLuminance(R, G, B);
            const std::uint8_t bwv = thresholdLuminance(R, G, B) > 128 ? 255 : 0;
            const std::uint8_t sv = lum > 76 ? 255 : 0;
            const bool cw = lum > 125;
            for (int k = 0; k < 3; ++k) {
                wrong += g[3 * x + k] != lum;
                wrong += b[3 * x + k] != bwv;
                wrong += s[3 * x + k] != sv;
                wrong += c[3 * x + k] != (cw ? 255 : in[3 * x + k]);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(PointOperations, OtherFormatsGiveTheSameAs24Bit) {
    WorkBitmap indexed(7, 3, PixelFormat::Bits8);
    std::vector<PaletteEntry> pal;
    for (int i = 0; i < 256; ++i) pal.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)});
    indexed.setPalette(pal);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) indexed.row(y)[x] = std::uint8_t(x * 37 + y * 11);
    const WorkBitmap as24 = indexed.to24();
    EXPECT_EQ(grayPicture(indexed), grayPicture(as24));
    EXPECT_EQ(blackWhitePicture(indexed), blackWhitePicture(as24));
    EXPECT_EQ(colorSplitPicture(indexed, 100).format(), PixelFormat::Bits24);
    EXPECT_EQ(colorSplitPicture(indexed, 100), colorSplitPicture(as24, 100));
}

TEST(PointOperations, EmptyAndThinPictures) {
    EXPECT_TRUE(grayPicture(WorkBitmap()).empty());
    EXPECT_TRUE(bwSplitPicture(WorkBitmap(0, 5), 3).empty());
    const WorkBitmap one = oneRow({makeColor(255, 0, 0)});
    EXPECT_EQ(grayPicture(one).pixel(0, 0), makeColor(76, 76, 76));
}

// The row kernels may write into their own input: every tie is settled
// from the input pixel, not from what was already written over it. Ties
// sit in the sixteen-pixel blocks and in the plain tail of each row.
TEST(PointOperations, RowKernelsMayWriteIntoTheirInput) {
    WorkBitmap in = randomPicture(37, 5, 12);
    for (int x : {0, 3, 17, 35}) in.setPixel(x, 2, makeColor(0, 0, 150));  // gray 16.5 rounds to 16
    in.setPixel(20, 1, makeColor(4, 212, 26));                              // threshold 128.5 rounds to 128
    auto inPlace = [&in](auto kernel) {
        WorkBitmap p = in;
        kernel(p);
        return p;
    };
    const WorkBitmap gray = inPlace([](WorkBitmap& p) { grayRows(p, p); });
    EXPECT_EQ(gray.pixel(35, 2), makeColor(16, 16, 16));
    EXPECT_EQ(gray, grayPicture(in));
    EXPECT_EQ(inPlace([](WorkBitmap& p) { thresholdRows(p, p, LuminanceForm::Threshold, 128); }),
              blackWhitePicture(in));
    EXPECT_EQ(inPlace([](WorkBitmap& p) { thresholdRows(p, p, LuminanceForm::Gray, 16); }), bwSplitPicture(in, 16));
    EXPECT_EQ(inPlace([](WorkBitmap& p) { colorSplitRows(p, p, 16); }), colorSplitPicture(in, 16));
}

}  // namespace
}  // namespace hueline
