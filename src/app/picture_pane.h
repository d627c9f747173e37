// SPDX-License-Identifier: GPL-3.0-or-later
// The image area of a pane (Image1, Image2): shows one WorkBitmap at one
// screen pixel per picture pixel and reports the mouse in picture
// coordinates.
//
// The area normally takes the size of its picture (auto-size), so the
// scroll box around it scrolls when the picture is larger than the box.
// Painting draws only the exposed rectangle, straight from the picture's
// rows: a 24-bit picture is wrapped, without a copy, in a QImage over its
// row memory; any other format is converted to 24 bits once, when the
// picture changes. So a 12-megapixel picture scrolls as smoothly as a
// small one, and a new picture costs no conversion at all.
#pragma once

#include <QImage>
#include <QWidget>

#include "imaging/picture/work_bitmap.h"

namespace hueline::app {

class PicturePane : public QWidget {
    Q_OBJECT
public:
    explicit PicturePane(QWidget* parent = nullptr);

    // The pane keeps its own copy, which shares the pixels with the
    // workspace's picture (the copy only reads them).
    void setPicture(const WorkBitmap& picture);
    const WorkBitmap& picture() const { return picture_; }
    // The picture as it is drawn: a view of the rows (24-bit) or of the
    // cached 24-bit conversion. Null for an empty picture.
    const QImage& shownImage() const { return image_; }

    // Shows a picture being drawn (24-bit, the size of the pane's picture)
    // in place of the pane's own, repainting only the changed rectangle.
    // The pane keeps no copy: drawing goes on in the caller's picture,
    // which must outlive the showing; the next setPicture ends it.
    void showDrawing(const WorkBitmap& drawing24, const QRect& changed);

    // With auto-size on, the area takes the picture's size at every new
    // picture (and at once when it is turned back on).
    void setAutoSize(bool on);
    bool autoSize() const { return autoSize_; }

    QSize sizeHint() const override;

signals:
    void mousePressed(Qt::MouseButton button, QPoint pos);
    void mouseMoved(Qt::MouseButtons buttons, QPoint pos);
    void mouseReleased(Qt::MouseButton button, QPoint pos);
    // Escape while a button is held, or the window lost the mouse.
    void gestureCancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void cancelGesture();

    WorkBitmap picture_;
    WorkBitmap converted_;  // the 24-bit form of a picture in another format
    QImage image_;
    bool autoSize_ = true;
    bool buttonHeld_ = false;
};

}  // namespace hueline::app
