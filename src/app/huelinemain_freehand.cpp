// SPDX-License-Identifier: GPL-3.0-or-later
// The "Freehand" page: tool choice and cursors, the eyedropper on the
// source pane, the colour panel with its dialog, and pen, brush and rubber
// strokes on the result pane.
//
// A stroke works on DragPicture, a 24-bit copy of the result pane made when
// the left button goes down on it; every reported position stamps one disk
// into it, which the result pane shows at once, and the workspace's result
// pane receives it once, when the stroke ends. A stroke follows no
// protocol: no undo copy, no status word, no snapshot.
#include <QBitmap>
#include <QColorDialog>
#include <QFrame>
#include <QPalette>
#include <QToolButton>

#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "imaging/ops/freehand.h"

namespace hueline::app {

namespace {

constexpr int kYuanCursor = 1;
constexpr int kEyedropCursor = 2;

// A one-bit cursor with its mask, from the program's resources.
QCursor loadCursor(const char* name, int hotX, int hotY) {
    const QString base = QStringLiteral(":/cursors/%1").arg(QString::fromLatin1(name));
    const QBitmap picture(base + QStringLiteral(".xbm"));
    const QBitmap mask(base + QStringLiteral("_mask.xbm"));
    return QCursor(picture, mask, hotX, hotY);
}

QColor toQColor(ColorValue c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

}  // namespace

void TMyPicture::SpeedButton11Click() {
    ToolMode_ = ToolMode::Pick;
    setcursorimage2();
}

void TMyPicture::SpeedButton15Click() {
    ToolMode_ = ToolMode::Rubber;
    setcursorimage2();
}

void TMyPicture::SpeedButton14Click() {
    ToolMode_ = ToolMode::Brush;
    setcursorimage2();
}

void TMyPicture::SpeedButton13Click() {
    ToolMode_ = ToolMode::Select;
    setcursorimage2();
}

void TMyPicture::SpeedButton12Click() {
    ToolMode_ = ToolMode::Pen;
    setcursorimage2();
}

// The panes' cursors for the current tool. The cursor is loaded afresh and
// registered under its identifier at every click of a tool button.
// "Select" leaves the result pane's drag cursor as it was.
void TMyPicture::setcursorimage2() {
    switch (ToolMode_) {
        case ToolMode::Pick:
            Screen_Cursors_[kEyedropCursor] = loadCursor("eyedrop", 1, 30);
            Image2->setCursor(Screen_Cursors_[kEyedropCursor]);
            Image1Cursor_ = QCursor(Qt::ArrowCursor);
            Image1DragCursor_ = QCursor(Qt::ArrowCursor);
            break;
        case ToolMode::Rubber:
        case ToolMode::Brush:
        case ToolMode::Pen:
            Screen_Cursors_[kYuanCursor] = loadCursor("yuan", 0, 0);
            Image2->setCursor(Qt::ArrowCursor);
            Image1Cursor_ = Screen_Cursors_[kYuanCursor];
            Image1DragCursor_ = Screen_Cursors_[kYuanCursor];
            break;
        case ToolMode::Select:
            Image2->setCursor(Qt::ArrowCursor);
            Image1Cursor_ = QCursor(Qt::ArrowCursor);
            break;
        case ToolMode::None: break;
    }
    Image1->setCursor(Image1Cursor_);
}

void TMyPicture::setDrawingColor(ColorValue c) {
    DrawingColor_ = c;
    QPalette pal = ColorPanel->palette();
    pal.setColor(QPalette::Window, toQColor(c));
    ColorPanel->setPalette(pal);
}

void TMyPicture::ColorPanelClick() {
    ColorDialog1->setCurrentColor(toQColor(DrawingColor_));
    if (ColorDialog1->exec() != QDialog::Accepted) return;
    const QColor c = ColorDialog1->selectedColor();
    if (c.isValid()) setDrawingColor(makeColor(c.red(), c.green(), c.blue()));
}

// The eyedropper. Positions outside the source picture give no colour and
// are ignored, so the drawing colour always stays a real colour.
void TMyPicture::Image2MouseDown(Qt::MouseButton, QPoint pos) {
    if (ToolMode_ != ToolMode::Pick) return;
    Picking_ = true;
    Image2MouseMove(pos);
}

void TMyPicture::Image2MouseMove(QPoint pos) {
    if (ToolMode_ != ToolMode::Pick || !Picking_) return;
    const WorkBitmap& source = ws_.sourcePane();
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= source.width() || pos.y() >= source.height()) return;
    setDrawingColor(source.pixel(pos.x(), pos.y()));
}

void TMyPicture::Image2MouseUp(Qt::MouseButton, QPoint) {
    if (ToolMode_ != ToolMode::Pick) return;
    Picking_ = false;
}

// The start of the drag gesture on the result pane. In the painting modes
// a stroke starts. DragPicture is the result pane in 24 bits, so that a
// stroke on a picture with a colour table paints the exact drawing colour
// rather than the nearest table entry.
void TMyPicture::Image1StartDrag() {
    Image1->setCursor(Image1DragCursor_);
    if (ToolMode_ != ToolMode::Pen && ToolMode_ != ToolMode::Brush && ToolMode_ != ToolMode::Rubber) return;
    DragPicture_ = ws_.resultPane().to24();
    holdCommands(true);
}

void TMyPicture::Image1DragOver(QPoint pos) {
    if (!DragPicture_) return;
    const StampTool tool = ToolMode_ == ToolMode::Pen     ? StampTool::Pen
                           : ToolMode_ == ToolMode::Brush ? StampTool::Brush
                                                          : StampTool::Rubber;
    stamp(*DragPicture_, pos.x(), pos.y(), tool, DrawingColor_);
    // The disk lies in the box of the circle cursor, from the pointer on.
    const int side = 2 * kStampRadius + 1;
    Image1->showDrawing(*DragPicture_, QRect(pos, QSize(side, side)));
}

bool TMyPicture::overVisibleResult(QPoint pos) const { return Image1->visibleRegion().contains(pos); }

void TMyPicture::Image1EndDrag() {
    Image1->setCursor(Image1Cursor_);
    if (!DragPicture_) return;
    WorkBitmap drawn = std::move(*DragPicture_);
    DragPicture_.reset();
    holdCommands(false);
    ws_.finishStroke(drawn);
    // The pane shows the workspace's picture again, not the one drawn in.
    Image1->setPicture(ws_.resultPane());
}

}  // namespace hueline::app
