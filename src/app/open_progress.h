// SPDX-License-Identifier: GPL-3.0-or-later
// The progress dialog of a long open. While it lives, reads on this thread
// report to it; once a read has taken longer than the delay, a dialog with
// the file's name, a bar and Cancel shows, and the window's events are
// handled at the reader's checkpoints so that it can be seen and clicked.
// The delay is short enough that, with readers checking in every tenth of
// a second or so, the dialog is up within half a second of the start.
// Cancel makes the read throw Cancelled, which the caller lets pass
// without a message: nothing has changed.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <chrono>

#include "imaging/picture/progress.h"

class QWidget;

namespace hueline::app {

class OpenProgress {
public:
    static constexpr std::chrono::milliseconds kDefaultDelay{300};

    OpenProgress(QWidget* parent, const QString& fileName, std::chrono::milliseconds delay = kDefaultDelay);
    ~OpenProgress();
    OpenProgress(const OpenProgress&) = delete;
    OpenProgress& operator=(const OpenProgress&) = delete;

    // The dialog once shown (tests), else null.
    QProgressDialog* dialog() const { return dialog_; }

private:
    bool update(double fraction);
    void show();

    QWidget* parent_;
    QString fileName_;
    qint64 delayMs_;
    QElapsedTimer clock_;
    qint64 lastEventsMs_ = 0;
    QPointer<QProgressDialog> dialog_;
    ProgressScope scope_;  // last: installed once everything it uses is made
};

}  // namespace hueline::app
