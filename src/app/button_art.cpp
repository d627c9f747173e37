// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/button_art.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace hueline::app {

namespace {

void magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(215, 235, 255));
    p.drawEllipse(QRectF(4, 2, 11, 11));
    p.setPen(QPen(QColor(110, 70, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 12), QPointF(19.5, 17.5));
    p.setPen(QPen(Qt::black, 1.6));
    p.drawLine(QPointF(6.5, 7.5), QPointF(12.5, 7.5));
    if (plus) p.drawLine(QPointF(9.5, 4.5), QPointF(9.5, 10.5));
}

void arrowHead(QPainter& p, QPointF tip, QPointF back1, QPointF back2, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF({tip, back1, back2}));
}

void horizontalArrow(QPainter& p, bool toLeft) {
    const QColor c(0, 110, 40);
    QPolygonF shape;
    if (toLeft)
        shape << QPointF(2, 10) << QPointF(10, 3) << QPointF(10, 7) << QPointF(21, 7) << QPointF(21, 13)
              << QPointF(10, 13) << QPointF(10, 17);
    else
        shape << QPointF(22, 10) << QPointF(14, 3) << QPointF(14, 7) << QPointF(3, 7) << QPointF(3, 13)
              << QPointF(14, 13) << QPointF(14, 17);
    p.setPen(QPen(QColor(0, 60, 20), 1));
    p.setBrush(c);
    p.drawPolygon(shape);
}

void drawOpen(QPainter& p) {
    p.setPen(QPen(QColor(120, 90, 0), 1));
    p.setBrush(QColor(230, 190, 60));
    p.drawPolygon(QPolygonF({QPointF(2, 5), QPointF(8, 5), QPointF(10, 7), QPointF(17, 7),
                             QPointF(17, 17), QPointF(2, 17)}));
    p.setBrush(QColor(250, 220, 100));
    p.drawPolygon(QPolygonF({QPointF(2, 17), QPointF(6, 10), QPointF(22, 10), QPointF(17, 17)}));
    arrowHead(p, QPointF(19, 1), QPointF(16, 5), QPointF(22, 5), QColor(0, 100, 0));
}

void drawSave(QPainter& p) {
    p.setPen(QPen(QColor(20, 30, 80), 1));
    p.setBrush(QColor(50, 80, 170));
    p.drawRect(QRectF(4.5, 1.5, 15, 16));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7.5, 1.5, 9, 6));
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(QRectF(7.5, 11.5, 9, 6));
    p.fillRect(QRectF(13, 13, 2, 3), QColor(50, 80, 170));
}

void drawUndo(QPainter& p) {
    const QColor c(30, 60, 160);
    p.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath path(QPointF(8, 7));
    path.cubicTo(QPointF(16, 4), QPointF(22, 9), QPointF(18, 16));
    p.drawPath(path);
    arrowHead(p, QPointF(2, 8), QPointF(9, 3), QPointF(9.5, 12), c);
}

void drawRenew(QPainter& p) {
    const QColor c(0, 130, 60);
    p.setPen(QPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(5, 3, 14, 14);
    p.drawArc(ring, 20 * 16, 140 * 16);
    p.drawArc(ring, 200 * 16, 140 * 16);
    arrowHead(p, QPointF(19.5, 13.5), QPointF(15, 9), QPointF(23, 8.5), c);
    arrowHead(p, QPointF(4.5, 6.5), QPointF(9, 11), QPointF(1, 11.5), c);
}

void drawFullView(QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(60, 140, 200));
    p.drawRect(QRectF(6.5, 5.5, 11, 9));
    p.setPen(QPen(QColor(160, 0, 0), 1.4));
    p.drawLine(QPointF(5, 4), QPointF(2, 1.5));
    p.drawLine(QPointF(19, 4), QPointF(22, 1.5));
    p.drawLine(QPointF(5, 16), QPointF(2, 18.5));
    p.drawLine(QPointF(19, 16), QPointF(22, 18.5));
    const QColor r(160, 0, 0);
    arrowHead(p, QPointF(1, 1), QPointF(5, 1), QPointF(1, 5), r);
    arrowHead(p, QPointF(23, 1), QPointF(19, 1), QPointF(23, 5), r);
    arrowHead(p, QPointF(1, 19), QPointF(5, 19), QPointF(1, 15), r);
    arrowHead(p, QPointF(23, 19), QPointF(19, 19), QPointF(23, 15), r);
}

void drawColorTools(QPainter& p) {
    p.setPen(QPen(QColor(110, 70, 30), 1));
    p.setBrush(QColor(225, 190, 140));
    QPainterPath palette;
    palette.addEllipse(QRectF(2, 2, 20, 16));
    QPainterPath hole;
    hole.addEllipse(QRectF(13, 11, 4, 4));
    p.drawPath(palette.subtracted(hole));
    p.setPen(Qt::NoPen);
    const QColor dots[] = {Qt::red, QColor(0, 160, 0), Qt::blue, QColor(240, 200, 0)};
    const QPointF at[] = {{6, 8}, {10, 5}, {15, 6}, {6, 13}};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(dots[i]);
        p.drawEllipse(at[i], 2, 2);
    }
}

void drawBwTools(QPainter& p) {
    const QRectF disc(4, 1, 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(disc);
    p.setBrush(Qt::black);
    p.drawPie(disc, 90 * 16, 180 * 16);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
}

void drawOnline(QPainter& p) {
    p.setPen(QPen(QColor(0, 60, 130), 1.2));
    p.setBrush(QColor(120, 190, 240));
    const QRectF globe(4, 1, 17, 17);
    p.drawEllipse(globe);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(8.5, 1, 8, 17));
    p.drawLine(QPointF(12.5, 1), QPointF(12.5, 18));
    p.drawLine(QPointF(4, 9.5), QPointF(21, 9.5));
    p.drawLine(QPointF(5.5, 5), QPointF(19.5, 5));
    p.drawLine(QPointF(5.5, 14), QPointF(19.5, 14));
}

void drawSelect(QPainter& p) {
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 3.5, 17, 12));
}

void drawBrush(QPainter& p) {
    p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 2), QPointF(12, 10));
    p.setPen(QPen(QColor(150, 150, 150), 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(12, 10), QPointF(10, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    p.drawPolygon(QPolygonF({QPointF(8, 11), QPointF(11, 14), QPointF(7, 18), QPointF(3, 19),
                             QPointF(4, 15)}));
}

void drawPen(QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(240, 200, 40));
    p.drawPolygon(QPolygonF({QPointF(18, 1), QPointF(22, 5), QPointF(9, 18), QPointF(5, 14)}));
    p.setBrush(QColor(240, 210, 170));
    p.drawPolygon(QPolygonF({QPointF(5, 14), QPointF(9, 18), QPointF(3, 19.5)}));
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({QPointF(3.8, 17), QPointF(5.5, 18.8), QPointF(3, 19.5)}));
}

void drawRubber(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(240, 130, 160));
    p.drawPolygon(QPolygonF({QPointF(13, 3), QPointF(21, 9), QPointF(14, 16), QPointF(6, 10)}));
    p.setBrush(QColor(90, 110, 200));
    p.drawPolygon(QPolygonF({QPointF(6, 10), QPointF(14, 16), QPointF(11, 18.5), QPointF(3, 12.5)}));
}

void drawPick(QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(60, 60, 60));
    p.drawEllipse(QRectF(16, 1, 6, 6));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(16, 5), QPointF(18, 7), QPointF(6, 17), QPointF(4, 17), QPointF(4, 15)}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 90, 200));
    p.drawEllipse(QPointF(3, 18), 1.6, 1.6);
}

// Each picture is drawn by a function of its own.
void drawPrint(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 1.5, 11, 7));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(2.5, 7.5, 19, 8), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 13.5, 11, 5));
    p.drawLine(QPointF(8, 16), QPointF(16, 16));
    p.fillRect(QRectF(18, 9.5, 2, 1.5), QColor(0, 160, 60));
}

void draw(QPainter& p, ButtonArt art) {
    switch (art) {
        case ButtonArt::Open: drawOpen(p); break;
        case ButtonArt::Save: drawSave(p); break;
        case ButtonArt::Undo: drawUndo(p); break;
        case ButtonArt::Renew: drawRenew(p); break;
        case ButtonArt::ZoomOut: magnifier(p, false); break;
        case ButtonArt::ZoomIn: magnifier(p, true); break;
        case ButtonArt::FullView: drawFullView(p); break;
        case ButtonArt::ColorTools: drawColorTools(p); break;
        case ButtonArt::BwTools: drawBwTools(p); break;
        case ButtonArt::Online: drawOnline(p); break;
        case ButtonArt::Give: horizontalArrow(p, true); break;
        case ButtonArt::Get: horizontalArrow(p, false); break;
        case ButtonArt::Select: drawSelect(p); break;
        case ButtonArt::Brush: drawBrush(p); break;
        case ButtonArt::Pen: drawPen(p); break;
        case ButtonArt::Rubber: drawRubber(p); break;
        case ButtonArt::Pick: drawPick(p); break;
        case ButtonArt::Print: drawPrint(p); break;
    }
}

}  // namespace

QPixmap buttonPicture(ButtonArt art) {
    QImage img(kButtonArtWidth, kButtonArtHeight, QImage::Format_RGB888);
    img.fill(QApplication::palette().color(QPalette::Button));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, art);
    p.end();
    return QPixmap::fromImage(img);
}

}  // namespace hueline::app
