// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/print_picture.h"

#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <optional>

#include "imaging/codecs/traced_outlines.h"
#include "imaging/picture/errors.h"
#include "render/traced_path.h"

namespace hueline::app {

namespace {

// Where the picture goes: as large as the printable area allows, centred.
QRectF placeOnPage(const QRectF& area, int width, int height) {
    const double scale = std::min(area.width() / width, area.height() / height);
    QRectF target(0, 0, width * scale, height * scale);
    target.moveCenter(area.center());
    return target;
}

void paintImage(QPainter& painter, const QRectF& target, const WorkBitmap& picture) {
    const WorkBitmap rgb = picture.to24();
    QImage image(rgb.constRow(0), rgb.width(), rgb.height(), qsizetype(rgb.stride()), QImage::Format_BGR888);
    const QSize pageSize = target.size().toSize();
    if (image.width() > pageSize.width() && pageSize.width() > 0 && pageSize.height() > 0)
        image = image.scaled(pageSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(target, image);
}

void paintCurves(QPainter& painter, const QRectF& target, const TracedOutlines& curves) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / curves.width(), target.height() / curves.height());
    painter.fillPath(tracedPath(curves), Qt::black);
}

}  // namespace

void paintOnPage(QPrinter& printer, const WorkBitmap& picture) {
    if (picture.empty()) throw UserError("The result pane holds no picture, so nothing was printed");
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString file = printer.outputFileName();
        throw UserError(file.isEmpty() ? "The printer " + printer.printerName().toStdString() + " could not be opened"
                                       : "Cannot print to " + file.toStdString() + ": the file cannot be written");
    }
    const QRectF area(QPointF(0, 0), QSizeF(printer.pageLayout().paintRectPixels(printer.resolution()).size()));
    const QRectF target = placeOnPage(area, picture.width(), picture.height());
    std::optional<TracedOutlines> curves;
    if (isBlackAndWhite(picture)) {
        try {
            curves.emplace(picture);
        } catch (const TooDetailedToTrace&) {
            // Noise rather than lines: it prints as well as an image.
        }
    }
    if (curves)
        paintCurves(painter, target, *curves);
    else
        paintImage(painter, target, picture);
    painter.end();
}

PicturePrinting::PicturePrinting(QWidget* window)
    : window_(window), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

PicturePrinting::~PicturePrinting() = default;

void orientForPicture(QPrinter& printer, const WorkBitmap& picture) {
    printer.setPageOrientation(picture.width() > picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void PicturePrinting::prepare(const WorkBitmap& picture) {
    if (picture.empty()) throw UserError("The result pane holds no picture, so nothing was printed");
    orientForPicture(*printer_, picture);
}

void PicturePrinting::print(const WorkBitmap& picture) {
    prepare(picture);
    QPrintDialog dialog(printer_.get(), window_);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    if (dialog.exec() != QDialog::Accepted) return;
    paintOnPage(*printer_, picture);
}

void PicturePrinting::preview(const WorkBitmap& picture) {
    prepare(picture);
    QPrintPreviewDialog dialog(printer_.get(), window_);
    dialog.setObjectName(QStringLiteral("PrintPreviewDialog1"));
    // An error cannot leave the dialog's paint signal: it waits until the
    // dialog has closed (only a real printer or file can fail to open).
    std::optional<UserError> failed;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&picture, &failed](QPrinter* printer) {
        try {
            paintOnPage(*printer, picture);
        } catch (const UserError& e) {
            failed = e;
        }
    });
    dialog.exec();
    if (failed) throw *failed;
}

}  // namespace hueline::app
