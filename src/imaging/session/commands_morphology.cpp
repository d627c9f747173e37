// SPDX-License-Identifier: GPL-3.0-or-later
// Erode, Dilate, Thin and Pen-and-ink. Each refreshes SourceSnapshot from
// the source pane. Erode, Dilate and Pen-and-ink threshold the result
// pane's picture with BlackWhite first (in the same pass); Thin does not.
#include "imaging/session/commands.h"
#include "imaging/ops/morphology.h"
#include "imaging/ops/routines.h"

namespace hueline::commands {

void erode(Workspace& ws) {
    ws.runCommand({"Eroded", SnapshotFrom::SourcePane}, [](WorkBitmap& p) { p = erodedBlackWhite(p); });
}

void dilate(Workspace& ws) {
    ws.runCommand({"Dilated", SnapshotFrom::SourcePane}, [](WorkBitmap& p) { p = dilatedBlackWhite(p); });
}

void thin(Workspace& ws) {
    ws.runCommand({"Thinned", SnapshotFrom::SourcePane}, [](WorkBitmap& p) { ThinLine(p); });
}

void penAndInk(Workspace& ws) {
    // The output is built whole and shown once: nothing can see the rows
    // in between, so the pane is not refreshed row by row.
    ws.runCommand({"Pen and ink", SnapshotFrom::SourcePane, true},
                  [](WorkBitmap& p) { p = penAndInkBlackWhite(p); });
}

}  // namespace hueline::commands
