// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "imaging/ops/rank_filters.h"
#include "support/pictures.h"

namespace hueline {
namespace {

using test_support::filled; using test_support::randomPicture;

// The median's sort written out: for i from 0 to n-2 and, within it, j from
// n-1 down to i+1, values[i] and values[j] are exchanged when values[j] <
// values[i]. Equal values are never exchanged.
void SelectionSort(std::span<std::int32_t> values) {
    const std::size_t n = values.size();
    for (std::size_t i = 0; i + 1 < n; ++i)
        for (std::size_t j = n - 1; j > i; --j)
            if (values[j] < values[i]) std::swap(values[i], values[j]);
}

std::vector<std::int32_t> sorted(std::vector<std::int32_t> v) {
    SelectionSort(v);
    return v;
}

TEST(SelectionSort, SmallCasesAndEqualValues) {
    EXPECT_EQ(sorted({3, 1, 2}), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(sorted({2, 2, 1}), (std::vector<std::int32_t>{1, 2, 2}));
    EXPECT_EQ(sorted({}), std::vector<std::int32_t>{});
    EXPECT_EQ(sorted({42}), std::vector<std::int32_t>{42});
    EXPECT_EQ(sorted({-2147483647 - 1, 2147483647, 0, -1}),
              (std::vector<std::int32_t>{-2147483647 - 1, -1, 0, 2147483647}));
}

TEST(SelectionSort, SortsAnyLength) {
    std::mt19937 rng(1);
    for (int n = 0; n < 40; ++n) {
        std::vector<std::int32_t> v(static_cast<std::size_t>(n));
        for (auto& x : v) x = std::int32_t(rng() % 7) - 3;  // many equal values
        std::vector<std::int32_t> expected = v;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted(v), expected) << n;
    }
}

// The median written out: per pixel and channel, nine values in block
// order into a work array, SelectionSort, the fifth value.
WorkBitmap referenceMedian(const WorkBitmap& in) {
    WorkBitmap out = in;
    std::int32_t values[9];
    for (int y = 1; y + 1 < in.height(); ++y)
        for (int x = 1; x + 1 < in.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                int n = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) values[n++] = in.row(y + j)[3 * (x + i) + c];
                SelectionSort(values);
                out.row(y)[3 * x + c] = std::uint8_t(values[4]);
            }
    return out;
}

TEST(Median, AgreesWithThePlainMedianOnRandomPictures) {
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        const WorkBitmap noisy = randomPicture(41, 13, seed);
        EXPECT_EQ(medianPicture(noisy), referenceMedian(noisy)) << seed;
        const WorkBitmap fewLevels = randomPicture(17, 29, seed, 3);  // many ties
        EXPECT_EQ(medianPicture(fewLevels), referenceMedian(fewLevels)) << seed;
    }
}

TEST(Median, RemovesOutliersAndThinLinesKeepsStraightBoundaries) {
    WorkBitmap dot = filled(5, 5, makeColor(50, 60, 70));
    dot.setPixel(2, 2, kWhite);
    EXPECT_EQ(medianPicture(dot), filled(5, 5, makeColor(50, 60, 70)));

    WorkBitmap line = filled(7, 6, kBlack);
    for (int x = 0; x < 7; ++x) line.setPixel(x, 3, kWhite);
    const WorkBitmap cleaned = medianPicture(line);
    for (int x = 1; x < 6; ++x) EXPECT_EQ(cleaned.pixel(x, 3), kBlack) << x;
    EXPECT_EQ(cleaned.pixel(0, 3), kWhite);  // the border column keeps its value
    EXPECT_EQ(cleaned.pixel(6, 3), kWhite);

    WorkBitmap halves(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) halves.setPixel(x, y, x < 3 ? makeColor(200, 10, 10) : makeColor(10, 10, 200));
    EXPECT_EQ(medianPicture(halves), halves);
}

TEST(Median, EachChannelTakesItsOwnMedian) {
    // Five red and four blue pixels around the centre: red wins.
    WorkBitmap p = filled(3, 3, makeColor(0, 0, 255));
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {2, 0}, {0, 2}, {2, 2}}) p.setPixel(x, y, makeColor(255, 0, 0));
    EXPECT_EQ(medianPicture(p).pixel(1, 1), makeColor(255, 0, 0));

    // Red 1..9 and green 9..1 in the same places give 5 and 5.
    WorkBitmap q(3, 3);
    for (int n = 0; n < 9; ++n) q.setPixel(n % 3, n / 3, makeColor(1 + n, 9 - n, 0));
    EXPECT_EQ(medianPicture(q).pixel(1, 1), makeColor(5, 5, 0));
}

TEST(Median, SmallPicturesAndFormats) {
    for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {2, 2}, {2, 8}, {8, 2}}) {
        const WorkBitmap in = randomPicture(w, h, 9);
        EXPECT_EQ(medianPicture(in), in) << w << "x" << h;
    }
    WorkBitmap indexed(6, 5, PixelFormat::Bits4);
    indexed.setPixel(2, 2, kBlack);
    indexed.setPixel(0, 0, makeColor(255, 0, 0));
    const WorkBitmap out = medianPicture(indexed);
    EXPECT_EQ(out.format(), PixelFormat::Bits24);
    EXPECT_EQ(out, medianPicture(indexed.to24()));
    EXPECT_EQ(out.pixel(2, 2), kWhite);
    EXPECT_EQ(out.pixel(0, 0), makeColor(255, 0, 0));
}

}  // namespace
}  // namespace hueline
