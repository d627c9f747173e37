// SPDX-License-Identifier: GPL-3.0-or-later
// The operation and slider protocols, Undo, Renew, Give, Get and Open:
// which picture every step touches.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "imaging/session/commands.h"
#include "imaging/ops/tones.h"
#include "imaging/session/workspace.h"

namespace hueline {
namespace {

WorkBitmap solid(int w, int h, ColorValue c) {
    WorkBitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, c);
    return b;
}

// A small colour picture with one pixel of every kind the tests need.
WorkBitmap colourful() {
    WorkBitmap b(4, 3);
    const ColorValue cs[] = {makeColor(255, 0, 0), makeColor(0, 255, 0), makeColor(0, 0, 255),
                             makeColor(200, 200, 200), makeColor(10, 10, 10), makeColor(4, 212, 26),
                             makeColor(129, 129, 129), makeColor(130, 130, 130), kWhite,
                             kBlack, makeColor(90, 160, 30), makeColor(255, 255, 254)};
    for (int i = 0; i < 12; ++i) b.setPixel(i % 4, i / 4, cs[i]);
    return b;
}

const WorkBitmap kRed = solid(3, 2, makeColor(255, 0, 0));

TEST(Workspace, StartUpFillsEveryPictureFromTheStartPicture) {
    const WorkBitmap start = colourful();
    Workspace ws(start);
    EXPECT_EQ(ws.resultPane(), start);
    EXPECT_EQ(ws.sourcePane(), start);
    EXPECT_EQ(ws.originalPicture(), start);
    EXPECT_EQ(ws.undoPicture(), start);
    EXPECT_EQ(ws.sourceSnapshot(), start);
    EXPECT_EQ(ws.resultSnapshot(), start);
    EXPECT_EQ(ws.status(), "New picture");
    // Undo right after start-up changes nothing.
    ws.undo();
    EXPECT_EQ(ws.resultPane(), start);
}

TEST(Workspace, OperationProtocolTouchesThePicturesInItsTable) {
    Workspace ws(colourful());
    ws.runCommand({"First", SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = kRed; });
    EXPECT_EQ(ws.sourceSnapshot(), kRed);
    ws.runCommand({"Word", SnapshotFrom::SourcePane}, [](WorkBitmap& p) { p = solid(2, 2, kBlack); });
    EXPECT_EQ(ws.undoPicture(), kRed);
    EXPECT_EQ(ws.resultPane(), solid(2, 2, kBlack));
    EXPECT_EQ(ws.status(), "Word");
    EXPECT_EQ(ws.sourceSnapshot(), colourful());  // the source pane, not the result
    EXPECT_EQ(ws.sourcePane(), colourful());
    EXPECT_EQ(ws.resultSnapshot(), solid(2, 2, kBlack));

    ws.runCommand({nullptr, SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = solid(1, 1, kWhite); });
    EXPECT_EQ(ws.status(), "Word");  // no word: the label keeps the last one
    EXPECT_EQ(ws.sourceSnapshot(), solid(1, 1, kWhite));
    EXPECT_EQ(ws.undoPicture(), solid(2, 2, kBlack));
}

TEST(Workspace, AFailingCommandChangesNothing) {
    Workspace ws(colourful());
    ws.runCommand({"First", SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = kRed; });
    const WorkBitmap undo = ws.undoPicture(), result = ws.resultPane();
    std::vector<Workspace::Change> changes;
    ws.setListener([&](Workspace::Change c) { changes.push_back(c); });
    EXPECT_THROW(ws.runCommand({"Second", SnapshotFrom::SourcePane, true},
                               [](WorkBitmap&) { throw std::runtime_error("bad"); }),
                 std::runtime_error);
    EXPECT_EQ(ws.undoPicture(), undo);
    EXPECT_EQ(ws.resultPane(), result);
    EXPECT_EQ(ws.status(), "First");
    EXPECT_EQ(ws.sourceSnapshot(), kRed);
}

TEST(Workspace, UndoIsOneStepAndRestoresTheResultSnapshot) {
    Workspace ws(colourful());
    commands::blackAndWhite(ws);
    ws.undo();
    EXPECT_EQ(ws.resultPane(), colourful());
    EXPECT_EQ(ws.resultSnapshot(), colourful());
    ws.undo();  // twice is the same as once
    EXPECT_EQ(ws.resultPane(), colourful());
    EXPECT_EQ(ws.status(), "Black and white");  // Undo leaves the label
}

TEST(Workspace, SlidersStartFromSourceSnapshotAndDoNotAccumulate) {
    Workspace ws(colourful());
    commands::blackAndWhite(ws);  // SourceSnapshot := the source pane (colour)
    commands::bwSplit(ws, 125);
    EXPECT_EQ(ws.resultPane(), bwSplitPicture(colourful(), 125));
    commands::bwSplit(ws, 10);
    commands::bwSplit(ws, 125);
    EXPECT_EQ(ws.resultPane(), bwSplitPicture(colourful(), 125));
    EXPECT_EQ(ws.resultSnapshot(), ws.resultPane());
    // Undo after slider moves shows SourceSnapshot, unthresholded.
    ws.undo();
    EXPECT_EQ(ws.resultPane(), colourful());
    EXPECT_EQ(ws.status(), "Black and white");
}

TEST(Workspace, GrayFeedsTheSlidersWithItsResult) {
    Workspace ws(colourful());
    commands::blackAndWhite(ws);
    commands::gray(ws);
    EXPECT_EQ(ws.status(), "Black and white");  // Gray has no word
    EXPECT_EQ(ws.sourceSnapshot(), ws.resultPane());
    commands::colorSplit(ws, 125);
    EXPECT_EQ(ws.resultPane(), colorSplitPicture(grayPicture(blackWhitePicture(colourful())), 125));
}

TEST(Workspace, RenewReturnsBothPanesToTheLoadedPicture) {
    Workspace ws(colourful());
    commands::gray(ws);
    ws.give();
    ws.renew();
    EXPECT_EQ(ws.resultPane(), colourful());
    EXPECT_EQ(ws.sourcePane(), colourful());
    EXPECT_EQ(ws.status(), "Renewed");
    EXPECT_EQ(ws.undoPicture(), colourful());
    EXPECT_EQ(ws.sourceSnapshot(), colourful());
    EXPECT_EQ(ws.resultSnapshot(), colourful());
}

TEST(Workspace, GiveAndGetCopyBetweenPanesOnly) {
    Workspace ws(colourful());
    commands::gray(ws);
    const WorkBitmap gray = ws.resultPane();
    ws.give();
    EXPECT_EQ(ws.sourcePane(), gray);
    EXPECT_EQ(ws.sourceSnapshot(), gray);
    EXPECT_EQ(ws.undoPicture(), colourful());
    ws.renew();
    ws.runCommand({"X", SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = kRed; });
    ws.get();
    EXPECT_EQ(ws.resultPane(), colourful());
    EXPECT_EQ(ws.status(), "X");
    EXPECT_EQ(ws.resultSnapshot(), kRed);  // Get touches no working picture
    EXPECT_EQ(ws.sourceSnapshot(), kRed);
    EXPECT_EQ(ws.undoPicture(), colourful());
}

TEST(Workspace, OpenResetsTheWorkingPicturesButNotTheLabel) {
    Workspace ws(colourful());
    commands::blackAndWhite(ws);
    ws.openPicture(kRed);
    EXPECT_EQ(ws.resultPane(), kRed);
    EXPECT_EQ(ws.sourcePane(), kRed);
    EXPECT_EQ(ws.originalPicture(), kRed);
    EXPECT_EQ(ws.undoPicture(), kRed);
    EXPECT_EQ(ws.sourceSnapshot(), kRed);
    EXPECT_EQ(ws.resultSnapshot(), kRed);
    EXPECT_EQ(ws.status(), "Black and white");
    ws.undo();
    EXPECT_EQ(ws.resultPane(), kRed);
}

TEST(Workspace, StrokesTouchOnlyTheResultPane) {
    Workspace ws(colourful());
    commands::gray(ws);
    const WorkBitmap gray = ws.resultPane();
    ws.finishStroke(kRed);
    EXPECT_EQ(ws.resultPane(), kRed);
    EXPECT_EQ(ws.resultSnapshot(), gray);
    // Undo after strokes goes back to before the last command.
    ws.undo();
    EXPECT_EQ(ws.resultPane(), colourful());
}

TEST(Workspace, ThePreviewKeepsAndRestoresBothPanes) {
    Workspace ws(colourful());
    commands::gray(ws);
    const WorkBitmap result = ws.resultPane(), source = ws.sourcePane();
    ws.keepPanes();
    ws.showInPane(Pane::Result, kRed);
    ws.showInPane(Pane::Source, kRed);
    ws.restoreKeptPanes();
    EXPECT_EQ(ws.resultPane(), result);
    EXPECT_EQ(ws.sourcePane(), source);
    EXPECT_EQ(ws.undoPicture(), colourful());
}

TEST(Workspace, CopiesSharePixels) {
    const WorkBitmap start = colourful();
    Workspace ws(start);
    commands::gray(ws);
    EXPECT_TRUE(ws.resultPane().sharesPixelsWith(ws.resultSnapshot()));
    EXPECT_TRUE(ws.resultPane().sharesPixelsWith(ws.sourceSnapshot()));
    EXPECT_TRUE(ws.undoPicture().sharesPixelsWith(start));
}

TEST(Workspace, ListenerHearsEveryPaneAndLabelChange) {
    Workspace ws(colourful());
    std::vector<Workspace::Change> changes;
    ws.setListener([&](Workspace::Change c) { changes.push_back(c); });
    commands::blackAndWhite(ws);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], Workspace::Change::ResultPane);
    EXPECT_EQ(changes[1], Workspace::Change::Status);
    changes.clear();
    ws.renew();
    EXPECT_EQ(changes.size(), 3u);
}

}  // namespace
}  // namespace hueline
