// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/open_progress.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>

namespace hueline::app {

namespace {
// How often the window's events are handled while the dialog shows.
constexpr qint64 kEventsEveryMs = 40;
constexpr int kSteps = 1000;
}  // namespace

OpenProgress::OpenProgress(QWidget* parent, const QString& fileName, std::chrono::milliseconds delay)
    : parent_(parent), fileName_(fileName), delayMs_(delay.count()), scope_([this](double f) { return update(f); }) {
    clock_.start();
}

OpenProgress::~OpenProgress() { delete dialog_; }

void OpenProgress::show() {
    dialog_ = new QProgressDialog(QStringLiteral("Opening %1 ...").arg(QFileInfo(fileName_).fileName()),
                                  QStringLiteral("Cancel"), 0, kSteps, parent_);
    dialog_->setObjectName(QStringLiteral("OpenProgress"));
    dialog_->setWindowTitle(QStringLiteral("Opening"));
    // Nothing else in the program may be used while the read goes on.
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->show();
}

bool OpenProgress::update(double fraction) {
    const qint64 now = clock_.elapsed();
    if (!dialog_) {
        if (now < delayMs_) return true;
        show();
    } else if (now - lastEventsMs_ < kEventsEveryMs) {
        return !dialog_->wasCanceled();
    }
    lastEventsMs_ = now;
    if (fraction < 0) {
        if (dialog_->maximum() != 0) dialog_->setRange(0, 0);  // busy, how far unknown
    } else {
        if (dialog_->maximum() == 0) dialog_->setRange(0, kSteps);
        dialog_->setValue(int(fraction * kSteps));
    }
    QCoreApplication::processEvents();
    return dialog_ && !dialog_->wasCanceled();
}

}  // namespace hueline::app
