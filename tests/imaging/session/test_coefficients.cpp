// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "imaging/session/coefficients.h"
#include "imaging/picture/errors.h"

namespace hueline {
namespace {

// The message a failed box shows, or "" when the text converts.
std::string failureOf(const std::string& text) {
    try {
        parseCoefficient(text);
    } catch (const UserError& e) {
        return e.what();
    }
    return "";
}

TEST(Coefficients, DecimalTextsWithBlanksAndSigns) {
    EXPECT_EQ(parseCoefficient("7"), 7);
    EXPECT_EQ(parseCoefficient(" 7"), 7);
    EXPECT_EQ(parseCoefficient("   12"), 12);
    EXPECT_EQ(parseCoefficient("-1"), -1);
    EXPECT_EQ(parseCoefficient("+5"), 5);
    EXPECT_EQ(parseCoefficient(" -20"), -20);
    EXPECT_EQ(parseCoefficient("0"), 0);
    EXPECT_EQ(parseCoefficient("007"), 7);
}

TEST(Coefficients, HexadecimalAfterDollarOrZeroX) {
    EXPECT_EQ(parseCoefficient("$10"), 16);
    EXPECT_EQ(parseCoefficient("0x1F"), 31);
    EXPECT_EQ(parseCoefficient("0X1f"), 31);
    EXPECT_EQ(parseCoefficient("$ff"), 255);
    EXPECT_EQ(parseCoefficient("-$10"), -16);
    EXPECT_EQ(parseCoefficient(" 0x7FFFFFFF"), 2147483647);
}

TEST(Coefficients, The32BitSignedRangeExactly) {
    EXPECT_EQ(parseCoefficient("2147483647"), 2147483647);
    EXPECT_EQ(parseCoefficient("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseCoefficient("-0x80000000"), -2147483647 - 1);
    EXPECT_NE(failureOf("2147483648"), "");
    EXPECT_NE(failureOf("-2147483649"), "");
    EXPECT_NE(failureOf("0x80000000"), "");
    EXPECT_NE(failureOf("99999999999999999999999999"), "");
    EXPECT_NE(failureOf("$FFFFFFFFFFFFFFFFF"), "");
}

TEST(Coefficients, FailuresCarryTheBoxTextInTheMessage) {
    EXPECT_EQ(failureOf("abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(failureOf("7 "), "'7 ' is not a valid integer value");
    EXPECT_EQ(failureOf(""), "'' is not a valid integer value");
    EXPECT_EQ(failureOf("1.5"), "'1.5' is not a valid integer value");
    EXPECT_EQ(failureOf("2147483648"), "'2147483648' is not a valid integer value");
    // (Strings here are built by append and moved in: GCC 12 warns wrongly,
    // -Wrestrict, when a short literal is prepended or assigned.)
    for (const char* bad : {"   ", "-", "+", "$", "0x", "--1", "+-1", "1e3", "0x1G", "$-1", "12a", "\t7", "7\n", "1,5"}) {
        std::string expected(1, '\'');
        expected.append(bad).append("' is not a valid integer value");
        EXPECT_EQ(failureOf(bad), expected) << bad;
    }
}

TEST(Coefficients, KernelStopsAtTheFirstBadBox) {
    std::array<std::string, 9> texts = kernelTexts(kFringe1Defaults);
    EXPECT_EQ(parseKernel(texts), kFringe1Defaults);
    texts[4] = std::string("x");
    texts[8] = std::string("y");
    try {
        parseKernel(texts);
        FAIL() << "a bad box converted";
    } catch (const UserError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
}

TEST(Coefficients, KernelTextsReadBackAsTheSameKernel) {
    for (const Kernel& k : {kFringe1Defaults, kFringe2Defaults, kFringe3Defaults,
                            Kernel{-2147483647 - 1, 2147483647, 0, 1, -1, 100, -100, 65536, -65536}})
        EXPECT_EQ(parseKernel(kernelTexts(k)), k);
    const auto texts = kernelTexts(kFringe2Defaults);
    EXPECT_EQ(texts[0], "-1");
    EXPECT_EQ(texts[1], "-2");
    EXPECT_EQ(texts[4], "0");
    EXPECT_EQ(texts[7], "2");
}

}  // namespace
}  // namespace hueline
