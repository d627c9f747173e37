// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/session/commands.h"
#include "imaging/picture/errors.h"
#include "imaging/ops/freehand.h"
#include "imaging/ops/resampling.h"
#include "imaging/ops/tones.h"

namespace hueline {
namespace {

WorkBitmap gradientPicture(int w, int h, int seed) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < w; ++x) {
            r[3 * x] = std::uint8_t((x * 7 + seed) & 255);
            r[3 * x + 1] = std::uint8_t((y * 5 + x * x + seed) & 255);
            r[3 * x + 2] = std::uint8_t(((x ^ y) * 3 + seed) & 255);
        }
    }
    return p;
}

TEST(ZoomCommand, SizesStepFromThePanesCurrentSize) {
    Workspace ws(gradientPicture(386, 400, 1));
    commands::zoom(ws, commands::kZoomOut);
    EXPECT_EQ(ws.resultPane().width(), 308);
    EXPECT_EQ(ws.resultPane().height(), 320);
    EXPECT_EQ(ws.sourcePane().width(), 308);
    EXPECT_EQ(ws.sourcePane().height(), 320);
    commands::zoom(ws, commands::kZoomIn);
    EXPECT_EQ(ws.resultPane().width(), 385);
    EXPECT_EQ(ws.resultPane().height(), 400);
    EXPECT_EQ(ws.sourcePane().width(), 385);
}

TEST(ZoomCommand, ASideZoomedToNothingStaysNothing) {
    Workspace ws(gradientPicture(3, 100, 2));
    for (int i = 0; i < 3; ++i) commands::zoom(ws, commands::kZoomOut);  // 3 -> 2 -> 1 -> 0
    EXPECT_EQ(ws.resultPane().width(), 0);
    EXPECT_EQ(ws.resultPane().height(), 51);  // 100 -> 80 -> 64 -> 51
    commands::zoom(ws, commands::kZoomIn);
    EXPECT_EQ(ws.resultPane().width(), 0);
    EXPECT_EQ(ws.resultPane().height(), 63);
    EXPECT_EQ(ws.sourcePane().width(), 0);
    // Renew brings back the loaded size.
    ws.renew();
    EXPECT_EQ(ws.resultPane().width(), 3);
    EXPECT_EQ(ws.resultPane().height(), 100);
}

TEST(ZoomCommand, RepeatedZoomsStaySingleStretches) {
    const WorkBitmap start = gradientPicture(386, 400, 3);
    Workspace ws(start);
    commands::gray(ws);
    const WorkBitmap grayed = ws.resultPane();
    commands::zoom(ws, commands::kZoomOut);
    EXPECT_EQ(ws.resultPane(), areaResample(grayed, 308, 320));
    EXPECT_EQ(ws.sourcePane(), areaResample(start, 308, 320));
    commands::zoom(ws, commands::kZoomIn);
    const WorkBitmap once = areaResample(grayed, 385, 400);
    EXPECT_EQ(ws.resultPane(), once);
    EXPECT_EQ(ws.sourcePane(), areaResample(start, 385, 400));
    // Stretching the shrunk picture again would have blurred it.
    EXPECT_NE(once, areaResample(areaResample(grayed, 308, 320), 385, 400));
    // The zoom keeps ResultSnapshot and the status label.
    EXPECT_EQ(ws.resultSnapshot(), grayed);
    EXPECT_EQ(ws.status(), "New picture");
}

TEST(ZoomCommand, UndoAndSlidersWorkOnTheZoomedPicture) {
    Workspace ws(gradientPicture(386, 400, 4));
    commands::gray(ws);
    commands::zoom(ws, commands::kZoomOut);
    const WorkBitmap zoomed = ws.resultPane();
    EXPECT_EQ(ws.undoPicture(), zoomed);
    EXPECT_EQ(ws.sourceSnapshot(), zoomed);
    ws.undo();
    EXPECT_EQ(ws.resultPane(), zoomed);
    commands::bwSplit(ws, 125);
    EXPECT_EQ(ws.resultPane(), bwSplitPicture(zoomed, 125));
    EXPECT_EQ(ws.resultPane().width(), 308);
    ws.undo();
    EXPECT_EQ(ws.resultPane(), zoomed);
    commands::colorSplit(ws, 90);
    EXPECT_EQ(ws.resultPane(), colorSplitPicture(zoomed, 90));
}

TEST(ZoomCommand, GiveGetAndStrokesAreNotCarriedIntoAZoom) {
    const WorkBitmap start = gradientPicture(200, 150, 5);
    Workspace ws(start);
    commands::gray(ws);
    const WorkBitmap grayed = ws.resultPane();

    // Give: the source pane shows the result, but zooms from OriginalPicture.
    ws.give();
    commands::zoom(ws, commands::kZoomOut);
    EXPECT_EQ(ws.sourcePane(), areaResample(start, 160, 120));

    // Get: the result pane shows the source pane's picture, but zooms
    // from ResultSnapshot.
    ws.get();
    ASSERT_NE(ws.resultPane(), areaResample(grayed, 160, 120));
    commands::zoom(ws, commands::kZoomIn);
    EXPECT_EQ(ws.resultPane(), areaResample(grayed, 200, 150));

    // A stroke drawn after the last command is replaced by the stretch.
    WorkBitmap drawn = ws.resultPane();
    stamp(drawn, 10, 10, StampTool::Pen, makeColor(0, 255, 0));
    ws.finishStroke(drawn);
    commands::zoom(ws, commands::kZoomIn);
    EXPECT_EQ(ws.resultPane(), areaResample(grayed, 250, 187));
}

TEST(ZoomCommand, TooLargeAZoomChangesNothing) {
    // A side past the largest picture (a picture without pixels costs
    // nothing to make).
    Workspace ws(WorkBitmap(0, 250'000'000));
    EXPECT_THROW(commands::zoom(ws, commands::kZoomIn), UserError);
    EXPECT_EQ(ws.resultPane().height(), 250'000'000);
    EXPECT_EQ(ws.sourcePane().height(), 250'000'000);
    EXPECT_TRUE(ws.undoPicture().sharesPixelsWith(ws.originalPicture()));
}

TEST(ZoomCommand, EmptyPicturesPassThrough) {
    Workspace ws;
    commands::zoom(ws, commands::kZoomIn);
    EXPECT_TRUE(ws.resultPane().empty());
    EXPECT_TRUE(ws.sourcePane().empty());
}

}  // namespace
}  // namespace hueline
