// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/picture_preview.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

#include "imaging/ops/resampling.h"
#include "imaging/picture/progress.h"
#include "render/picture_loader.h"

namespace hueline::app {

PicturePreview::PicturePreview(QFileDialog* dialog, std::chrono::milliseconds budget)
    : QLabel(dialog), budget_(budget) {
    setObjectName(QStringLiteral("Preview"));
    setFixedSize(kWidth, kHeight);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(this, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(dialog, &QFileDialog::currentChanged, this, &PicturePreview::showFile);
    showFile(QString());
}

void PicturePreview::showNothing() {
    clear();
    setText(tr("No preview"));
}

void PicturePreview::showFile(const QString& path) {
    // Only a regular file is read: a FIFO or device named like a picture
    // is not even opened.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) return showNothing();
    try {
        // Merely selecting a file must not hold the dialog up: the readers
        // are stopped at their next checkpoint once the budget is spent.
        QElapsedTimer clock;
        clock.start();
        const qint64 budget = budget_.count();
        const ProgressScope withinBudget([&clock, budget](double) { return clock.elapsed() < budget; });
        const WorkBitmap picture = LoadPreviewPicture(path.toStdString(), kWidth, kHeight);
        // The frame keeps the picture's proportions, with white bars.
        const WorkBitmap shown = FitToPane(picture.to24(), kWidth, kHeight);
        const QImage view(shown.constRow(0), shown.width(), shown.height(), qsizetype(shown.stride()),
                          QImage::Format_BGR888);
        setPixmap(QPixmap::fromImage(view));  // copies the pixels
    } catch (const std::exception&) {
        // A file the program cannot read, or not quickly, shows no
        // preview; opening it reports why (or shows its progress).
        showNothing();
    }
}

}  // namespace hueline::app
