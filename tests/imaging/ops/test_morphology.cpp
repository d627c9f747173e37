// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imaging/ops/morphology.h"
#include "imaging/ops/routines.h"
#include "imaging/ops/tones.h"
#include "support/pictures.h"

namespace hueline {
namespace {

using test_support::filled;

// Pictures drawn as text: '#' black, '.' white; anything else in a result
// shows as '?'.
WorkBitmap art(const std::vector<std::string>& rows) {
    const int h = int(rows.size()), w = h ? int(rows[0].size()) : 0;
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, rows[std::size_t(y)][std::size_t(x)] == '#' ? kBlack : kWhite);
    return p;
}

std::vector<std::string> asArt(const WorkBitmap& p) {
    std::vector<std::string> rows;
    for (int y = 0; y < p.height(); ++y) {
        std::string r;
        for (int x = 0; x < p.width(); ++x) {
            const ColorValue c = p.pixel(x, y);
            r += c == kBlack ? '#' : c == kWhite ? '.' : '?';
        }
        rows.push_back(r);
    }
    return rows;
}

template <typename Step>
WorkBitmap applied(WorkBitmap p, Step step) {
    step(p);
    return p;
}

std::vector<std::string> eroded(const std::vector<std::string>& a) { return asArt(applied(art(a), ErodePels)); }
std::vector<std::string> dilated(const std::vector<std::string>& a) { return asArt(applied(art(a), DilatePels)); }
std::vector<std::string> thinned(const std::vector<std::string>& a) { return asArt(applied(art(a), ThinLine)); }
std::vector<std::string> hollowed(const std::vector<std::string>& a) { return asArt(penAndInkPicture(art(a))); }

// ---- The steps written out pixel by pixel -------------------------------

bool interior(const WorkBitmap& p, int x, int y) {
    return x >= 1 && y >= 1 && x <= p.width() - 2 && y <= p.height() - 2;
}

WorkBitmap referenceEdgeStep(const WorkBitmap& in, bool erode) {
    const ColorValue from = erode ? kBlack : kWhite, to = erode ? kWhite : kBlack;
    WorkBitmap out = in.to24();
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            if (!interior(in, x, y) || in.pixel(x, y) != from) continue;
            if (in.pixel(x - 1, y) == to || in.pixel(x + 1, y) == to || in.pixel(x, y - 1) == to ||
                in.pixel(x, y + 1) == to)
                out.setPixel(x, y, to);
        }
    return out;
}

WorkBitmap referenceThin(const WorkBitmap& in) {
    WorkBitmap out = in.to24();
    // Clockwise from upper-left.
    const int dx[8] = {-1, 0, 1, 1, 1, 0, -1, -1}, dy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            if (!interior(in, x, y)) continue;
            int p[8], n = 0, t = 0;
            for (int k = 0; k < 8; ++k) n += p[k] = redOf(in.pixel(x + dx[k], y + dy[k])) == 255;
            for (int k = 0; k < 8; ++k) t += p[k] == 0 && p[(k + 1) % 8] == 1;
            if (n >= 2 && n <= 6 && t == 1 && p[1] * p[3] * p[5] == 0 && p[7] * p[3] * p[5] == 0)
                out.setPixel(x, y, kWhite);
        }
    return out;
}

WorkBitmap referenceHollow(const WorkBitmap& in) {
    WorkBitmap out = in.to24();
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            if (!interior(in, x, y)) continue;
            bool allBlack = true;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) allBlack = allBlack && in.pixel(x + i, y + j) == kBlack;
            if (allBlack) out.setPixel(x, y, kWhite);
        }
    return out;
}

// Colours on which the B&W threshold sits exactly on its half: the
// extended evaluation alone decides them.
std::vector<ColorValue> thresholdTies() {
    std::vector<ColorValue> ties;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g) {
            const int rest = 128500 - 299 * r - 587 * g;
            if (rest >= 0 && rest % 110 == 0 && rest / 110 < 256) ties.push_back(makeColor(r, g, rest / 110));
        }
    return ties;
}

// Random pictures of three kinds: black and white; bytes that are mostly
// 0 or 255 (so that many pixels are nearly but not quite white or black,
// and red bytes of 255 abound); and colours with threshold ties among them.
WorkBitmap mixedPicture(int w, int h, std::uint32_t seed, int kind) {
    static const std::vector<ColorValue> ties = thresholdTies();
    std::mt19937 rng(seed);
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ColorValue c;
            if (kind == 0) c = rng() % 5 < 2 ? kBlack : kWhite;
            else if (kind == 1) {
                auto byte = [&] {
                    const unsigned v = rng() % 8;
                    return v < 3 ? 0 : v < 6 ? 255 : v == 6 ? 254 : int(rng() % 256);
                };
                c = makeColor(byte(), byte(), byte());
            } else
                c = rng() % 4 == 0 ? ties[rng() % ties.size()] : ColorValue(rng() & 0xFFFFFF);
            p.setPixel(x, y, c);
        }
    return p;
}

// ---- Agreement with the per-pixel forms --------------------------------

TEST(Morphology, StepsAgreeWithThePerPixelFormsOnRandomPictures) {
    for (int kind = 0; kind < 3; ++kind)
        for (std::uint32_t seed = 1; seed <= 3; ++seed)
            for (auto [w, h] : {std::pair{37, 21}, {3, 3}, {4, 9}}) {
                const WorkBitmap in = mixedPicture(w, h, seed, kind);
                SCOPED_TRACE(testing::Message() << "kind " << kind << " seed " << seed << " " << w << "x" << h);
                EXPECT_EQ(applied(in, ErodePels), referenceEdgeStep(in, true));
                EXPECT_EQ(applied(in, DilatePels), referenceEdgeStep(in, false));
                EXPECT_EQ(applied(in, ThinLine), referenceThin(in));
                EXPECT_EQ(penAndInkPicture(in), referenceHollow(in));
            }
}

TEST(Morphology, CommandFormsEqualBlackWhiteThenTheStep) {
    for (int kind = 0; kind < 3; ++kind)
        for (std::uint32_t seed = 1; seed <= 3; ++seed)
            for (auto [w, h] : {std::pair{41, 17}, {2, 6}, {6, 2}, {1, 1}}) {
                const WorkBitmap in = mixedPicture(w, h, seed, kind);
                const WorkBitmap bw = blackWhitePicture(in);
                SCOPED_TRACE(testing::Message() << "kind " << kind << " seed " << seed << " " << w << "x" << h);
                EXPECT_EQ(erodedBlackWhite(in), referenceEdgeStep(bw, true));
                EXPECT_EQ(dilatedBlackWhite(in), referenceEdgeStep(bw, false));
                EXPECT_EQ(penAndInkBlackWhite(in), referenceHollow(bw));
            }
}

TEST(Morphology, CommandThresholdMatchesBlackWhiteForEveryColour) {
    // Two rows of 8,388,608 pixels hold each of the 16,777,216 colours
    // once. Such a picture has no interior, so each command leaves nothing
    // but its thresholding, which must be BlackWhite's to the pixel.
    constexpr int kWidth = 1 << 23;
    WorkBitmap all(kWidth, 2);
    for (int y = 0; y < 2; ++y) {
        std::uint8_t* row = all.row(y);
        for (int x = 0; x < kWidth; ++x) {
            const int c = y * kWidth + x;
            row[3 * x] = std::uint8_t(c);
            row[3 * x + 1] = std::uint8_t(c >> 8);
            row[3 * x + 2] = std::uint8_t(c >> 16);
        }
    }
    const WorkBitmap bw = blackWhitePicture(all);
    EXPECT_EQ(erodedBlackWhite(all), bw);
    EXPECT_EQ(dilatedBlackWhite(all), bw);
    EXPECT_EQ(penAndInkBlackWhite(all), bw);
}

TEST(Morphology, FormatsOtherThan24BitGiveTheSameResult) {
    WorkBitmap indexed(9, 7, PixelFormat::Bits8);
    for (auto [x, y] : {std::pair{4, 3}, {3, 3}, {5, 3}, {4, 2}, {1, 1}}) indexed.setPixel(x, y, kBlack);
    indexed.setPixel(6, 5, makeColor(200, 30, 30));
    const WorkBitmap flat = indexed.to24();
    EXPECT_EQ(applied(indexed, ErodePels), applied(flat, ErodePels));
    EXPECT_EQ(applied(indexed, DilatePels), applied(flat, DilatePels));
    EXPECT_EQ(applied(indexed, ThinLine), applied(flat, ThinLine));
    EXPECT_EQ(penAndInkPicture(indexed), penAndInkPicture(flat));
    EXPECT_EQ(erodedBlackWhite(indexed), erodedBlackWhite(flat));
    EXPECT_EQ(applied(indexed, ThinLine).format(), PixelFormat::Bits24);
}

// ---- Shapes ----------------------------------------------------------------

TEST(Morphology, AllWhiteAndAllBlack) {
    const std::vector<std::string> white(5, "......"), black(5, "######");
    for (auto* step : {eroded, dilated, thinned, hollowed}) EXPECT_EQ(step(white), white);
    EXPECT_EQ(eroded(black), black);
    EXPECT_EQ(dilated(black), black);
    EXPECT_EQ(thinned(black), black);
    EXPECT_EQ(hollowed(black), (std::vector<std::string>{"######", "#....#", "#....#", "#....#", "######"}));
}

TEST(Morphology, PicturesWithoutInteriorOnlyTheThresholding) {
    const WorkBitmap colour = mixedPicture(2, 5, 4, 2);
    const WorkBitmap bw = blackWhitePicture(colour);
    EXPECT_EQ(erodedBlackWhite(colour), bw);
    EXPECT_EQ(dilatedBlackWhite(colour), bw);
    EXPECT_EQ(penAndInkBlackWhite(colour), bw);
    EXPECT_EQ(applied(colour, ThinLine), colour);
    for (auto a : {std::vector<std::string>{"#"}, {"#.", ".#"}, {"#.#.#"}, {"##", "#.", "##"}})
        for (auto* step : {eroded, dilated, thinned, hollowed}) EXPECT_EQ(step(a), a);
    EXPECT_TRUE(erodedBlackWhite(WorkBitmap()).empty());
    EXPECT_TRUE(applied(WorkBitmap(), ThinLine).empty());
}

TEST(Morphology, SingleBlackPixel) {
    const std::vector<std::string> dot = {".....", ".....", "..#..", ".....", "....."};
    EXPECT_EQ(dilated(dot), (std::vector<std::string>{".....", "..#..", ".###.", "..#..", "....."}));
    EXPECT_EQ(eroded(dot), std::vector<std::string>(5, "....."));
    EXPECT_EQ(thinned(dot), dot);
    EXPECT_EQ(hollowed(dot), dot);
    // In the middle row of a picture three rows high only the row itself
    // is interior: the dot widens sideways only.
    EXPECT_EQ(dilated({".....", "..#..", "....."}), (std::vector<std::string>{".....", ".###.", "....."}));
}

TEST(Morphology, BandTwoPixelsThick) {
    const std::vector<std::string> band = {"............", "............", "............", "..########..",
                                           "..########..", "............", "............"};
    const std::vector<std::string> empty(7, "............");
    EXPECT_EQ(eroded(band), empty);
    EXPECT_EQ(thinned(band), empty);
    EXPECT_EQ(dilated(band), (std::vector<std::string>{"............", "............", "..########..",
                                                       ".##########.", ".##########.", "..########..",
                                                       "............"}));
}

TEST(Morphology, BandThreePixelsThickLeavesItsMiddleLine) {
    const std::vector<std::string> horizontal = {"............", "............", "..########..", "..########..",
                                                 "..########..", "............", "............"};
    const std::vector<std::string> line = {"............", "............", "............", "...######...",
                                           "............", "............", "............"};
    EXPECT_EQ(eroded(horizontal), line);
    EXPECT_EQ(thinned(horizontal), line);
    EXPECT_EQ(thinned(line), line);  // a second pass changes nothing more

    const std::vector<std::string> vertical = {".......", ".###...", ".###...", ".###...", ".###...", ".###...",
                                               "......."};
    const std::vector<std::string> column = {".......", ".......", "..#....", "..#....", "..#....", ".......",
                                             "......."};
    EXPECT_EQ(eroded(vertical), column);
    EXPECT_EQ(thinned(vertical), column);
    EXPECT_EQ(thinned(column), column);
}

TEST(Morphology, OnePixelLinesAndThePlusCrossing) {
    const std::vector<std::string> lines = {"...........", ".######....", "...........", ".#.......#.",
                                            "..#.....#..", "...#...#...", "....#.#....", ".....#.....",
                                            "..........."};
    EXPECT_EQ(thinned(lines), lines);
    EXPECT_EQ(hollowed(lines), lines);
    EXPECT_EQ(eroded(lines), std::vector<std::string>(9, "..........."));

    const std::vector<std::string> plus = {".......", "...#...", "...#...", ".#####.", "...#...", "...#...",
                                           "......."};
    EXPECT_EQ(thinned(plus), plus);
    EXPECT_EQ(hollowed(plus), plus);
    EXPECT_EQ(eroded(plus), (std::vector<std::string>{".......", ".......", ".......", "...#...", ".......",
                                                      ".......", "......."}));
}

TEST(Morphology, RectangleSevenByFive) {
    const std::vector<std::string> rect = {"...........", "...........", "..#######..", "..#######..",
                                           "..#######..", "..#######..", "..#######..", "...........",
                                           "..........."};
    const std::vector<std::string> inner = {"...........", "...........", "...........", "...#####...",
                                            "...#####...", "...#####...", "...........", "...........",
                                            "..........."};
    EXPECT_EQ(hollowed(rect), (std::vector<std::string>{"...........", "...........", "..#######..",
                                                        "..#.....#..", "..#.....#..", "..#.....#..",
                                                        "..#######..", "...........", "..........."}));
    EXPECT_EQ(eroded(rect), inner);
    EXPECT_EQ(thinned(rect), inner);
    EXPECT_EQ(dilated(rect), (std::vector<std::string>{"...........", "..#######..", ".#########.",
                                                       ".#########.", ".#########.", ".#########.",
                                                       ".#########.", "..#######..", "..........."}));
}

TEST(Morphology, ErodeLooksAtEachEdgeNeighbourAlike) {
    // The centre's only white edge neighbour is above, then left, right,
    // below; diagonals never count.
    for (auto [x, y] : {std::pair{2, 1}, {1, 2}, {3, 2}, {2, 3}}) {
        std::vector<std::string> a = {".....", ".###.", ".###.", ".###.", "....."};
        a[std::size_t(y)][std::size_t(x)] = '.';
        EXPECT_EQ(eroded(a)[2][2], '.') << x << "," << y;
    }
    EXPECT_EQ(eroded({".....", "..#..", ".###.", "..#..", "....."})[2][2], '#');
    EXPECT_EQ(dilated({".....", ".#.#.", ".....", ".#.#.", "....."})[2][2], '.');
}

TEST(Morphology, ThinReadsTheRedByteOnly) {
    // A photo without a red byte of 255 has no white for Thin: nothing changes.
    WorkBitmap photo = mixedPicture(15, 11, 5, 2);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 15; ++x)
            if (photo.row(y)[3 * x + 2] == 255) photo.row(y)[3 * x + 2] = 17;
    EXPECT_EQ(applied(photo, ThinLine), photo);

    // On red paper (255, 0, 0) a 2-pixel band goes as on white paper: its
    // pixels turn pure white. The centre's own colour is not examined, so
    // paper next to the band that passes the tests turns pure white too,
    // while paper surrounded by paper (eight white indicators) stays red.
    const ColorValue red = makeColor(255, 0, 0);
    WorkBitmap band = filled(9, 7, red);
    for (int y = 2; y < 4; ++y)
        for (int x = 2; x < 6; ++x) band.setPixel(x, y, kBlack);
    const WorkBitmap out = applied(band, ThinLine);
    EXPECT_EQ(out, referenceThin(band));
    for (int y = 2; y < 4; ++y)
        for (int x = 2; x < 6; ++x) EXPECT_EQ(out.pixel(x, y), kWhite) << x << "," << y;
    EXPECT_EQ(out.pixel(2, 1), kWhite);  // N = 6, T = 1
    EXPECT_EQ(out.pixel(7, 5), red);     // N = 8
    EXPECT_EQ(out.pixel(0, 0), red);     // border

    // Paper of (254, 255, 255) counts as black: nothing is removed.
    WorkBitmap offWhite = filled(8, 6, makeColor(254, 255, 255));
    for (int x = 2; x < 6; ++x) offWhite.setPixel(x, 2, kBlack);
    EXPECT_EQ(applied(offWhite, ThinLine), offWhite);
}

TEST(Morphology, NearlyWhiteIsNeitherWhiteNorBlack) {
    // Whole-pixel tests: (255, 255, 254) neither feeds Erode as white nor
    // Dilate as black, and is never changed itself.
    const ColorValue nearly = makeColor(255, 255, 254);
    WorkBitmap p = filled(5, 5, nearly);
    p.setPixel(2, 2, kBlack);
    EXPECT_EQ(applied(p, ErodePels), p);
    WorkBitmap q = filled(5, 5, nearly);
    q.setPixel(2, 2, kWhite);
    EXPECT_EQ(applied(q, DilatePels), q);
    EXPECT_EQ(applied(q, ErodePels), q);
}

}  // namespace
}  // namespace hueline
