// SPDX-License-Identifier: GPL-3.0-or-later
// Zoom out and zoom in.
#include "imaging/session/commands.h"
#include "imaging/ops/resampling.h"

namespace hueline::commands {

// Each pane is re-rendered at factor times its current size from a stored
// picture: the result pane from ResultSnapshot, the source pane from
// OriginalPicture. Repeated zooms therefore stay single stretches, and
// whatever the panes showed in between (strokes, Give, Get) is replaced.
// Both pictures are made before either pane changes, so a zoom that cannot
// be done leaves everything as it was.
void zoom(Workspace& ws, double factor) {
    const WorkBitmap& result = ws.resultPane();
    const WorkBitmap& source = ws.sourcePane();
    WorkBitmap zoomedResult = zoomedPicture(ws.resultSnapshot(), result.width(), result.height(), factor);
    WorkBitmap zoomedSource = zoomedPicture(ws.originalPicture(), source.width(), source.height(), factor);
    ws.zoomPanes(zoomedResult, zoomedSource);
}

}  // namespace hueline::commands
