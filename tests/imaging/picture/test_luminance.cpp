// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/picture/luminance.h"

namespace hueline {
namespace {

// The evaluation exactly as written: long double products and sums in
// this order, then rounding to nearest with ties to even (the default mode).
int referenceLuminance(LuminanceForm form, int r, int g, int b) {
    const long double cr = form == LuminanceForm::Gray ? 0.3L : 0.299L;
    const long double cg = form == LuminanceForm::Gray ? 0.59L : 0.587L;
    const long double cb = 0.11L;
    volatile long double s = (r * cr + g * cg) + b * cb;
    return int(__builtin_rintl(s));
}

TEST(Luminance, HalfwaySumsGoToTheEvenNeighbour) {
    EXPECT_EQ(grayLuminance(255, 0, 0), 76);  // 76.5
    EXPECT_EQ(grayLuminance(5, 0, 0), 2);     // 1.5
    EXPECT_EQ(grayLuminance(0, 0, 150), 16);  // exactly 16.5 in extended precision
    EXPECT_EQ(grayLuminance(0, 0, 50), 6);    // 5.5
}

TEST(Luminance, ExtendedSumJustBelowAHalf) {
    // Double precision would give exactly 3.5 and then 4.
    EXPECT_EQ(grayLuminance(0, 5, 5), 3);
}

TEST(Luminance, WhiteGrayAndThresholdValues) {
    EXPECT_EQ(grayLuminance(255, 255, 255), 255);
    EXPECT_EQ(thresholdLuminance(255, 255, 255), 254);
    EXPECT_EQ(thresholdLuminance(129, 129, 129), 128);
    EXPECT_EQ(thresholdLuminance(4, 212, 26), 128);  // exactly 128.5
    for (int g = 0; g < 256; ++g) EXPECT_EQ(grayLuminance(g, g, g), g) << g;
}

TEST(Luminance, SmallValuesAroundZero) {
    EXPECT_EQ(grayLuminance(1, 0, 0), 0);  // 0.3
    EXPECT_EQ(grayLuminance(0, 0, 4), 0);  // 0.44
    EXPECT_EQ(grayLuminance(0, 1, 0), 1);  // 0.59
    EXPECT_EQ(grayLuminance(0, 0, 5), 1);  // 0.55
}

// The integer formulation against the long double evaluation for every one
// of the 16,777,216 colours, in both forms; and the replayed extended
// evaluation on its own for the ties, where it alone decides.
TEST(Luminance, IntegerFormEqualsExtendedEvaluationForAllColours) {
    for (LuminanceForm form : {LuminanceForm::Gray, LuminanceForm::Threshold}) {
        long mismatches = 0, ties = 0;
        const LuminanceWeights w = weightsOf(form);
        for (int r = 0; r < 256; ++r)
            for (int g = 0; g < 256; ++g)
                for (int b = 0; b < 256; ++b) {
                    const int expected = referenceLuminance(form, r, g, b);
                    if (luminance(form, r, g, b) != expected) ++mismatches;
                    if ((w.red * r + w.green * g + w.blue * b) % w.scale == w.scale / 2) {
                        ++ties;
                        if (extendedLuminance(form, r, g, b) != expected) ++mismatches;
                    }
                }
        EXPECT_EQ(mismatches, 0) << (form == LuminanceForm::Gray ? "gray" : "threshold");
        EXPECT_GT(ties, 10000);  // the tie path really is exercised (16,777 and 167,836)
    }
}

TEST(Luminance, CoefficientsAreTheNearestExtendedNumbers) {
    // The replay's constants are checked indirectly above; here the
    // compiler's long double must really be the 80-bit format.
    static_assert(sizeof(long double) >= 10);
    EXPECT_EQ(__LDBL_MANT_DIG__, 64);
}

}  // namespace
}  // namespace hueline
