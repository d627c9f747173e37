// SPDX-License-Identifier: GPL-3.0-or-later
// hueline-batch steps that fail leave the workspace as it was, as the
// window's commands do: a step whose text does not parse never runs, and
// a step that fails while it runs changes neither pane, nor a working
// picture, nor the status label.
#include <gtest/gtest.h>

#include <string>

#include "batch/steps.h"
#include "support/workspace_snapshot.h"
#include "imaging/session/workspace.h"

namespace hueline {
namespace {

using Snapshot = test_support::WorkspaceSnapshot;

WorkBitmap colourful(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, makeColor(x * 9, y * 13, (x * y) & 0xFF));
    return p;
}

Workspace afterSomeSteps() {
    Workspace ws(colourful(20, 14));
    for (const char* step : {"inverse", "give", "gray", "sharpen", "bwsplit=90"}) batch::parseStep(step).run(ws);
    return ws;
}

TEST(BatchFailurePaths, StepsThatDoNotParseNeverReachTheWorkspace) {
    Workspace ws = afterSomeSteps();
    const Snapshot before(ws);
    for (const char* text : {"fringe1=1,2,x,0,0,0,-1,-2,-1", "fringe2=1,2,3", "bwsplit=256", "colorsplit=-1",
                             "zoomin=2", "sharpen=1", "blur"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(batch::parseStep(text), batch::UsageError);
        EXPECT_TRUE(Snapshot(ws) == before);
    }
}

TEST(BatchFailurePaths, AStepThatFailsWhileItRunsChangesNothing) {
    // The source pane is so large that zooming it in once more would pass
    // the 256-megapixel cap (1 bit per pixel keeps the test light); the
    // result pane, small, zooms first and must be taken back.
    Workspace ws;
    ws.openPicture(WorkBitmap(15000, 15000, PixelFormat::Bits1));
    ws.finishStroke(colourful(20, 14));
    batch::parseStep("inverse").run(ws);
    const Snapshot before(ws);
    const batch::Step zoomIn = batch::parseStep("zoomin");
    EXPECT_THROW(zoomIn.run(ws), UserError);
    EXPECT_TRUE(Snapshot(ws) == before);
    // The workspace goes on working.
    batch::parseStep("median").run(ws);
    EXPECT_EQ(ws.status(), "Median");
}

}  // namespace
}  // namespace hueline
