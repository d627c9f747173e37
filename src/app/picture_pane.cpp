// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/picture_pane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace hueline::app {

namespace {

// A QImage that reads the rows of a 24-bit picture in place. The picture
// must outlive the image and must not be written meanwhile; the pane's own
// copy is only read, and a writer elsewhere detaches from it first.
QImage viewOf(const WorkBitmap& p24) {
    if (p24.empty()) return QImage();
    return QImage(p24.constRow(0), p24.width(), p24.height(), qsizetype(p24.stride()), QImage::Format_BGR888);
}

}  // namespace

PicturePane::PicturePane(QWidget* parent) : QWidget(parent) {
    // Every pixel of the picture is painted; what lies outside it is the
    // scroll box's background.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::ClickFocus);
}

void PicturePane::setPicture(const WorkBitmap& picture) {
    picture_ = picture;
    if (picture_.format() == PixelFormat::Bits24) {
        converted_ = WorkBitmap();
        image_ = viewOf(picture_);
    } else {
        converted_ = picture_.to24();
        image_ = viewOf(converted_);
    }
    if (autoSize_) resize(picture_.width(), picture_.height());
    update();
}

void PicturePane::showDrawing(const WorkBitmap& drawing24, const QRect& changed) {
    // Made again each time: the first stamp may have moved the rows.
    image_ = viewOf(drawing24);
    update(changed);
}

void PicturePane::setAutoSize(bool on) {
    autoSize_ = on;
    if (on) resize(picture_.width(), picture_.height());
}

QSize PicturePane::sizeHint() const { return QSize(picture_.width(), picture_.height()); }

void PicturePane::paintEvent(QPaintEvent* event) {
    if (image_.isNull()) return;
    const QRect exposed = event->rect() & image_.rect();
    if (exposed.isEmpty()) return;
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), image_, exposed);
}

void PicturePane::mousePressEvent(QMouseEvent* event) {
    buttonHeld_ = true;
    emit mousePressed(event->button(), event->position().toPoint());
}

void PicturePane::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->buttons(), event->position().toPoint());
}

void PicturePane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) buttonHeld_ = false;
    emit mouseReleased(event->button(), event->position().toPoint());
}

void PicturePane::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && buttonHeld_) {
        cancelGesture();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PicturePane::changeEvent(QEvent* event) {
    // A window that loses activation (another window took the mouse) ends
    // whatever the held button was doing.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) cancelGesture();
    QWidget::changeEvent(event);
}

void PicturePane::hideEvent(QHideEvent* event) {
    cancelGesture();
    QWidget::hideEvent(event);
}

void PicturePane::cancelGesture() {
    if (!buttonHeld_) return;
    buttonHeld_ = false;
    emit gestureCancelled();
}

}  // namespace hueline::app
