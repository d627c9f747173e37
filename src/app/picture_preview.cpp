// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/picture_preview.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

#include "imaging/ops/resampling.h"
#include "render/picture_loader.h"

namespace hueline::app {

PicturePreview::PicturePreview(QFileDialog* dialog) : QLabel(dialog) {
    setObjectName(QStringLiteral("Preview"));
    setFixedSize(kWidth, kHeight);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(this, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(dialog, &QFileDialog::currentChanged, this, &PicturePreview::showFile);
    showFile(QString());
}

void PicturePreview::showFile(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        clear();
        setText(tr("No preview"));
        return;
    }
    try {
        // The frame keeps the picture's proportions, with white bars.
        const WorkBitmap shown = FitToPane(LoadPictureFile(path.toStdString()).to24(), kWidth, kHeight);
        const QImage view(shown.constRow(0), shown.width(), shown.height(), qsizetype(shown.stride()),
                          QImage::Format_BGR888);
        setPixmap(QPixmap::fromImage(view));  // copies the pixels
    } catch (const std::exception&) {
        // A file the program cannot read shows no preview; opening it
        // reports why.
        clear();
        setText(tr("No preview"));
    }
}

}  // namespace hueline::app
