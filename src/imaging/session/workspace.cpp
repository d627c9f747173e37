// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/session/workspace.h"

namespace hueline {

Workspace::Workspace(const WorkBitmap& startPicture)
    : source_(startPicture),
      result_(startPicture),
      original_(startPicture),
      undo_(startPicture),
      sourceSnapshot_(startPicture),
      resultSnapshot_(startPicture) {}

void Workspace::setPane(Pane p, const WorkBitmap& picture) {
    (p == Pane::Source ? source_ : result_) = picture;
    notify(p == Pane::Source ? Change::SourcePane : Change::ResultPane);
}

void Workspace::setStatus(const char* text) {
    if (!text || status_ == text) return;
    status_ = text;
    notify(Change::Status);
}

void Workspace::runCommand(const CommandInfo& info, const std::function<void(WorkBitmap&)>& compute) {
    const std::string statusBefore = status_;
    WorkBitmap work = result_;
    if (info.showsWaiting) setStatus(status::kWaiting);
    try {
        compute(work);
    } catch (...) {
        setStatus(statusBefore.c_str());
        throw;
    }
    undo_ = result_;
    setPane(Pane::Result, work);
    setStatus(info.word ? info.word : statusBefore.c_str());
    sourceSnapshot_ = info.snapshot == SnapshotFrom::SourcePane ? source_ : result_;
    resultSnapshot_ = result_;
}

void Workspace::runSlider(const std::function<WorkBitmap(const WorkBitmap&)>& compute) {
    WorkBitmap out = compute(sourceSnapshot_);
    undo_ = sourceSnapshot_;
    setPane(Pane::Result, out);
    resultSnapshot_ = result_;
}

void Workspace::undo() {
    setPane(Pane::Result, undo_);
    resultSnapshot_ = result_;
}

void Workspace::renew() {
    setPane(Pane::Result, original_);
    setPane(Pane::Source, original_);
    setStatus(status::kRenewed);
    sourceSnapshot_ = result_;
    resultSnapshot_ = result_;
    undo_ = result_;
}

void Workspace::give() { setPane(Pane::Source, result_); }

void Workspace::get() { setPane(Pane::Result, source_); }

void Workspace::openPicture(const WorkBitmap& loaded) {
    setPane(Pane::Result, loaded);
    setPane(Pane::Source, loaded);
    original_ = result_;
    sourceSnapshot_ = result_;
    resultSnapshot_ = result_;
    undo_ = result_;
    // The first command then runs on warm pages, as the ones after it do.
    keepMemoryWarmFor(loaded);
}

void Workspace::zoomPanes(const WorkBitmap& result, const WorkBitmap& source) {
    setPane(Pane::Result, result);
    setPane(Pane::Source, source);
    sourceSnapshot_ = result_;
    undo_ = result_;
}

void Workspace::keepPanes() {
    keptResult_ = result_;
    keptSource_ = source_;
}

void Workspace::showInPane(Pane p, const WorkBitmap& picture) { setPane(p, picture); }

void Workspace::restoreKeptPanes() {
    setPane(Pane::Result, keptResult_);
    setPane(Pane::Source, keptSource_);
}

void Workspace::finishStroke(const WorkBitmap& drawn) { setPane(Pane::Result, drawn); }

}  // namespace hueline
