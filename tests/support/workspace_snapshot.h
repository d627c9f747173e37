// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the user has in the window, taken from a workspace so that a
// test can check that a failed command left all of it as it was.
#pragma once

#include <string>

#include "imaging/session/workspace.h"

namespace hueline::test_support {

struct WorkspaceSnapshot {
    explicit WorkspaceSnapshot(const Workspace& ws)
        : source(ws.sourcePane()),
          result(ws.resultPane()),
          original(ws.originalPicture()),
          undo(ws.undoPicture()),
          sourceSnapshot(ws.sourceSnapshot()),
          resultSnapshot(ws.resultSnapshot()),
          keptResult(ws.keptResultPicture()),
          keptSource(ws.keptSourcePicture()),
          status(ws.status()) {}
    WorkBitmap source, result, original, undo, sourceSnapshot, resultSnapshot, keptResult, keptSource;
    std::string status;
    friend bool operator==(const WorkspaceSnapshot&, const WorkspaceSnapshot&) = default;
    // Equal apart from the pictures the preview keeps while it shows.
    bool sameBesidesKept(WorkspaceSnapshot other) const {
        other.keptResult = keptResult, other.keptSource = keptSource;
        return other == *this;
    }
};

}  // namespace hueline::test_support
