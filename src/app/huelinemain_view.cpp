// SPDX-License-Identifier: GPL-3.0-or-later
// The view: zoom out and in, the whole-picture preview while its button is
// held, and the layout of the panes, tool bar, notebook and status label
// whenever the window changes size.
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

#include <cmath>

#include "app/busy_cursor.h"
#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "imaging/session/commands.h"
#include "imaging/ops/resampling.h"

namespace hueline::app {

namespace {
// The preview's frame, the image areas' design size.
constexpr int kFrameWidth = 386;
constexpr int kFrameHeight = 400;

// Rounded to the nearest integer, halves to the even neighbour.
int nearest(double v) { return int(std::nearbyint(v)); }
}  // namespace

// Both panes are re-rendered at 0.8 or 1.25 times their current size from
// the stored pictures (the result pane from ResultSnapshot, the source
// pane from OriginalPicture); the image areas follow their new pictures.
void TMyPicture::SpeedButton5Click() {
    const BusyCursor busy;
    commands::zoom(ws_, commands::kZoomOut);
}

void TMyPicture::SpeedButton6Click() {
    const BusyCursor busy;
    commands::zoom(ws_, commands::kZoomIn);
}

// While the button is held each pane shows its whole picture fitted into
// the 386 x 400 frame; on release both get back exactly what they showed,
// scrolled as they were.
void TMyPicture::SpeedButton7MouseDown() {
    if (previewing_) return;
    previewing_ = true;
    holdCommands(true);
    const bool unsaved = unsaved_;  // the preview is no change
    for (int i = 0; QScrollArea* box : {ScrollBox1, ScrollBox2})
        keptScroll_[i++] = QPoint(box->horizontalScrollBar()->value(), box->verticalScrollBar()->value());
    ws_.keepPanes();
    Image2->setAutoSize(false);
    Image2->resize(kFrameWidth, kFrameHeight);
    ws_.showInPane(Pane::Source, FitToPane(ws_.keptSourcePicture(), kFrameWidth, kFrameHeight));
    Image1->setAutoSize(false);
    Image1->resize(kFrameWidth, kFrameHeight);
    ws_.showInPane(Pane::Result, FitToPane(ws_.keptResultPicture(), kFrameWidth, kFrameHeight));
    unsaved_ = unsaved;
}

void TMyPicture::SpeedButton7MouseUp() {
    if (!previewing_) return;
    previewing_ = false;
    const bool unsaved = unsaved_;
    ws_.restoreKeptPanes();
    unsaved_ = unsaved;
    Image1->setAutoSize(true);
    Image2->setAutoSize(true);
    for (int i = 0; QScrollArea* box : {ScrollBox1, ScrollBox2}) {
        // A box shows or hides its scroll bars for the new size only on a
        // queued call; made now, the ranges are whole before the positions.
        QCoreApplication::sendPostedEvents(box, QEvent::MetaCall);
        box->horizontalScrollBar()->setValue(keptScroll_[i].x());
        box->verticalScrollBar()->setValue(keptScroll_[i++].y());
    }
    holdCommands(false);
}

// A newly opened picture is shown from its top-left corner in both panes.
void TMyPicture::scrollPanesHome() {
    for (QScrollArea* box : {ScrollBox1, ScrollBox2}) {
        box->horizontalScrollBar()->setValue(0);
        box->verticalScrollBar()->setValue(0);
    }
}

// The layout rule, in its order, from the window's width W and height H.
// Nothing else moves: the scroll boxes keep top 32, the source box left 0,
// the middle panel top 32 and width 43.
void TMyPicture::FormResize() {
    const int W = width();
    const int H = height();
    const int half = nearest(W / 2.0);
    ScrollBox1->resize(half - 30, ScrollBox1->height());
    ScrollBox1->resize(ScrollBox1->width(), nearest(ScrollBox1->width() / 395.0 * 409.0));
    ScrollBox1->move(half + 20, ScrollBox1->y());
    ScrollBox2->resize(half - 30, ScrollBox2->height());
    ScrollBox2->resize(ScrollBox2->width(), nearest(ScrollBox1->width() / 395.0 * 409.0));
    ControlBar1->resize(W - 10, ControlBar1->height());
    Label1->move(ScrollBox1->x(), ScrollBox1->height() + 35);
    TabbedNotebook1->move(TabbedNotebook1->x(), H - 125);
    TabbedNotebook1->resize(W - 10, TabbedNotebook1->height());
    // The middle panel's left follows the source box's height, as the
    // layout has always done.
    Panel6->move(ScrollBox2->height() - 12, Panel6->y());
    Panel6->resize(Panel6->width(), ScrollBox2->height());
}

void TMyPicture::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMyPicture::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormResize();
}

// A preview whose release the window will never see (another window took
// the mouse) ends when the window loses activation.
void TMyPicture::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) SpeedButton7MouseUp();
}

}  // namespace hueline::app
