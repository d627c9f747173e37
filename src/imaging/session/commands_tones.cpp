// SPDX-License-Identifier: GPL-3.0-or-later
// Gray, B&W and the two split sliders.
#include "imaging/session/commands.h"
#include "imaging/ops/routines.h"
#include "imaging/ops/tones.h"

namespace hueline::commands {

void gray(Workspace& ws) {
    ws.runCommand({nullptr, SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = grayPicture(p); });
}

void blackAndWhite(Workspace& ws) {
    ws.runCommand({"Black and white", SnapshotFrom::SourcePane}, [](WorkBitmap& p) { BlackWhite(p); });
}

void bwSplit(Workspace& ws, int position) {
    ws.runSlider([position](const WorkBitmap& s) { return bwSplitPicture(s, position); });
}

void colorSplit(Workspace& ws, int position) {
    ws.runSlider([position](const WorkBitmap& s) { return colorSplitPicture(s, position); });
}

}  // namespace hueline::commands
