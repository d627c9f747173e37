// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QPolygon>
#include <QRegion>

#include <chrono>
#include <random>

#include "render/clip_region.h"

namespace hueline {
namespace {

// Random polygons, crossing themselves and running past the window, give
// the pixels Qt's own builder gives, inside the window, by both rules.
TEST(ClipRegion, PolygonsGiveQtsPixelsInsideTheWindow) {
    std::mt19937 random(29);
    const QRect window(-16, -16, 132, 92);
    for (int round = 0; round < 400; ++round) {
        std::uniform_int_distribution<int> coord(-150, 250), count(3, 12);
        QPolygon polygon;
        for (int i = count(random); i > 0; --i) polygon << QPoint(coord(random), coord(random));
        for (Qt::FillRule rule : {Qt::OddEvenFill, Qt::WindingFill}) {
            const QRegion ours = polygonRegion(polygon, rule, window);
            const QRegion qts = QRegion(polygon, rule).intersected(window);
            EXPECT_TRUE(ours.xored(qts).isEmpty()) << "round " << round << " rule " << rule;
        }
    }
}

// A slanted stripe a pixel wide over 100,000 rows, and 16 teeth as long:
// Qt's builder takes minutes over them; only the window's rows are built.
TEST(ClipRegion, PolygonsFarTallerThanThePictureAreBuiltOverItsRowsOnly) {
    QPolygon stripe, teeth;
    stripe << QPoint(0, 0) << QPoint(1, 0) << QPoint(100001, 100000) << QPoint(100000, 100000);
    teeth << QPoint(0, 0);
    for (int i = 0; i < 16; ++i) teeth << QPoint(i * 60 + 30, 100000) << QPoint(i * 60 + 60, 0);
    const auto start = std::chrono::steady_clock::now();
    const QRegion a = polygonRegion(stripe, Qt::OddEvenFill, QRect(-16, -16, 1032, 1032));
    const QRegion b = polygonRegion(teeth, Qt::WindingFill, QRect(-16, -16, 1032, 1032));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(a.contains(QPoint(500, 500)));
    EXPECT_FALSE(a.contains(QPoint(502, 500)));
    EXPECT_EQ(b.boundingRect(), QRect(0, 0, 960, 1016));
}

}  // namespace
}  // namespace hueline
