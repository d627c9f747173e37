// SPDX-License-Identifier: GPL-3.0-or-later
// The picture workspace: the two panes, the working pictures behind them,
// the status label's text, and the fixed order of steps in which every
// command changes them.
//
//   source pane   the left picture: as loaded, or given to it with Give.
//   result pane   the right picture: every command reads and writes it.
//
//   OriginalPicture   the picture as last loaded (Renew returns to it)
//   UndoPicture       the result pane before the last command (Undo)
//   SourceSnapshot    what the two split sliders start from
//   ResultSnapshot    the result pane after the last command (zoom scales it)
//   KeptResultPicture, KeptSourcePicture   the panes while the preview shows
//
// A command either completes or changes nothing: the computation runs on a
// private copy and the panes and working pictures are only assigned once it
// has returned. All copies share pixels until written, so the protocol's
// several copies of the result pane cost a pointer each.
#pragma once

#include <functional>
#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

enum class Pane { Source, Result };

// Which pane SourceSnapshot is refreshed from after a command.
enum class SnapshotFrom { SourcePane, ResultPane };

// What a command supplies to the operation protocol besides its computation.
struct CommandInfo {
    const char* word;  // the status label's new text; nullptr keeps the old one
    SnapshotFrom snapshot;
    bool showsWaiting = false;  // "Waiting" in the status label while it works
};

// The words the status label shows.
namespace status {
inline constexpr const char* kNewPicture = "New picture";
inline constexpr const char* kRenewed = "Renewed";
inline constexpr const char* kWaiting = "Waiting";
}  // namespace status

class Workspace {
public:
    enum class Change { SourcePane, ResultPane, Status };
    using Listener = std::function<void(Change)>;

    // Start-up: both panes, OriginalPicture and the snapshots all show the
    // picture the result pane starts with; the status reads "New picture".
    explicit Workspace(const WorkBitmap& startPicture = WorkBitmap());

    const WorkBitmap& sourcePane() const { return source_; }
    const WorkBitmap& resultPane() const { return result_; }
    const WorkBitmap& pane(Pane p) const { return p == Pane::Source ? source_ : result_; }
    const WorkBitmap& originalPicture() const { return original_; }
    const WorkBitmap& undoPicture() const { return undo_; }
    const WorkBitmap& sourceSnapshot() const { return sourceSnapshot_; }
    const WorkBitmap& resultSnapshot() const { return resultSnapshot_; }
    const WorkBitmap& keptResultPicture() const { return keptResult_; }
    const WorkBitmap& keptSourcePicture() const { return keptSource_; }
    const std::string& status() const { return status_; }

    // Called after every change of a pane's picture or of the status text,
    // so that a window can repaint. One listener; nullptr for none.
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // The operation protocol. compute receives a copy of the result pane's
    // picture and leaves the command's output in it. Then, in effect:
    //   1. UndoPicture := result pane (as it was)
    //   2. status "Waiting" (for commands that show it)
    //   3. result pane := output
    //   4. status := the command's word (if it has one)
    //   5. SourceSnapshot := the pane the command names
    //   6. ResultSnapshot := result pane
    // If compute throws, nothing has changed and the error goes on.
    void runCommand(const CommandInfo& info, const std::function<void(WorkBitmap&)>& compute);

    // The slider protocol: UndoPicture := SourceSnapshot; result pane :=
    // compute(SourceSnapshot); ResultSnapshot := result pane. The status
    // label and SourceSnapshot are left alone.
    void runSlider(const std::function<WorkBitmap(const WorkBitmap&)>& compute);

    // Undo: result pane := UndoPicture; ResultSnapshot := result pane.
    void undo();
    // Renew: both panes := OriginalPicture; status "Renewed"; SourceSnapshot,
    // ResultSnapshot and UndoPicture := result pane.
    void renew();
    // Give: source pane := result pane. Get: result pane := source pane.
    void give();
    void get();

    // Open: both panes show the loaded picture, and OriginalPicture,
    // SourceSnapshot, ResultSnapshot and UndoPicture become copies of it.
    // The status label keeps its text.
    void openPicture(const WorkBitmap& loaded);

    // After a zoom has put new pictures into the panes: SourceSnapshot and
    // UndoPicture := result pane. ResultSnapshot is left alone.
    void zoomPanes(const WorkBitmap& result, const WorkBitmap& source);

    // The whole-picture preview: keep both panes, show other pictures, then
    // put the kept ones back. No working picture of the history changes.
    void keepPanes();
    void showInPane(Pane p, const WorkBitmap& picture);
    void restoreKeptPanes();

    // A finished freehand stroke replaces the result pane and nothing else.
    void finishStroke(const WorkBitmap& drawn);

private:
    void setPane(Pane p, const WorkBitmap& picture);
    void setStatus(const char* text);
    void notify(Change c) const {
        if (listener_) listener_(c);
    }

    WorkBitmap source_;
    WorkBitmap result_;
    WorkBitmap original_;
    WorkBitmap undo_;
    WorkBitmap sourceSnapshot_;
    WorkBitmap resultSnapshot_;
    WorkBitmap keptResult_;
    WorkBitmap keptSource_;
    std::string status_ = status::kNewPicture;
    Listener listener_;
};

}  // namespace hueline
