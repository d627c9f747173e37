// SPDX-License-Identifier: GPL-3.0-or-later
// The view: zoom out and in from the stored pictures, the whole-picture
// preview while its button is held, and the layout on resize.
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "imaging/ops/resampling.h"
#include "imaging/ops/tones.h"

using namespace hueline;
using namespace hueline::app;

namespace {

WorkBitmap ramp(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < w; ++x) {
            r[3 * x] = std::uint8_t(x * 255 / (w > 1 ? w - 1 : 1));
            r[3 * x + 1] = std::uint8_t(y * 255 / (h > 1 ? h - 1 : 1));
            r[3 * x + 2] = std::uint8_t((x + y) % 256);
        }
    }
    return p;
}

QSize sizeOf(const WorkBitmap& p) { return QSize(p.width(), p.height()); }

struct All {
    WorkBitmap result, source, original, undo, sourceSnapshot, resultSnapshot;
    std::string status;
    explicit All(const Workspace& ws)
        : result(ws.resultPane()),
          source(ws.sourcePane()),
          original(ws.originalPicture()),
          undo(ws.undoPicture()),
          sourceSnapshot(ws.sourceSnapshot()),
          resultSnapshot(ws.resultSnapshot()),
          status(ws.status()) {}
    bool operator==(const All&) const = default;
};

bool rowIsWhite(const WorkBitmap& p, int y) {
    for (int x = 0; x < p.width(); ++x)
        if (p.pixel(x, y) != kWhite) return false;
    return true;
}

}  // namespace

class TestView : public QObject {
    Q_OBJECT
private slots:
    void zoomSizes();
    void zoomToNothingStaysNothing();
    void zoomStartsFromTheStoredPictures();
    void undoAndSliderAfterZoom();
    void previewWhileHeld();
    void previewOfASmallPicture();
    void quickSecondPressPreviews();
    void commandsWaitDuringAGesture();
    void layout_data();
    void layout();
    void smallestWindowKeepsWidthsPositive();
};

void TestView::zoomSizes() {
    TMyPicture w;
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    QCOMPARE(sizeOf(w.workspace().resultPane()), QSize(308, 320));
    QCOMPARE(sizeOf(w.workspace().sourcePane()), QSize(308, 320));
    QCOMPARE(w.Image1->size(), QSize(308, 320));
    QCOMPARE(w.Image2->size(), QSize(308, 320));
    QTest::mouseClick(w.SpeedButton6, Qt::LeftButton);
    QCOMPARE(sizeOf(w.workspace().resultPane()), QSize(385, 400));  // truncated, not back to 386
    QCOMPARE(w.Image2->size(), QSize(385, 400));
    QCOMPARE(w.Label1->text(), QStringLiteral("New picture"));
    // Renew shows the loaded size again.
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QCOMPARE(w.Image1->size(), QSize(386, 400));
    QCOMPARE(w.Label1->text(), QStringLiteral("Renewed"));
}

void TestView::zoomToNothingStaysNothing() {
    TMyPicture w;
    w.workspace().openPicture(ramp(6, 2));
    w.SpeedButton5Click();  // 4 x 1
    w.SpeedButton5Click();  // 3 x 0
    QCOMPARE(sizeOf(w.workspace().resultPane()), QSize(3, 0));
    w.SpeedButton6Click();
    QCOMPARE(sizeOf(w.workspace().resultPane()), QSize(3, 0));
    QCOMPARE(w.Image1->size(), QSize(3, 0));
}

// The result pane is re-rendered from ResultSnapshot and the source pane
// from OriginalPicture: strokes, Give and Get do not carry into a zoom,
// and zooming twice is no blurrier than zooming once.
void TestView::zoomStartsFromTheStoredPictures() {
    TMyPicture w;
    Workspace& ws = w.workspace();
    const WorkBitmap photo = ramp(200, 100);
    ws.openPicture(photo);
    w.Button16Click();  // inverse: ResultSnapshot is the negative
    const WorkBitmap inverted = ws.resultSnapshot();
    w.SpeedButton16Click();  // Give: the source pane shows the negative too
    w.Button18Click();       // sharpen: the result pane moves on again
    const WorkBitmap snapshot = ws.resultSnapshot();
    w.SpeedButton5Click();
    QCOMPARE(sizeOf(ws.resultPane()), QSize(160, 80));
    QVERIFY(ws.sourcePane() == zoomedPicture(photo, 200, 100, 0.8));
    QVERIFY(!(ws.sourcePane() == zoomedPicture(inverted, 200, 100, 0.8)));
    QVERIFY(ws.resultPane() == zoomedPicture(snapshot, 200, 100, 0.8));
    const WorkBitmap once = ws.resultPane();
    w.SpeedButton6Click();
    w.SpeedButton5Click();  // 200 -> 160 -> 200 -> 160, each one stretch
    QVERIFY(ws.resultPane() == once);
    QVERIFY(ws.resultSnapshot() == snapshot);
}

void TestView::undoAndSliderAfterZoom() {
    TMyPicture w;
    Workspace& ws = w.workspace();
    w.Button20Click();
    w.SpeedButton5Click();
    const WorkBitmap zoomed = ws.resultPane();
    QVERIFY(ws.undoPicture() == zoomed);
    QVERIFY(ws.sourceSnapshot() == zoomed);
    w.SpeedButton3Click();
    QVERIFY(ws.resultPane() == zoomed);
    w.TrackBar1->setValue(100);
    QVERIFY(ws.resultPane() == bwSplitPicture(zoomed, 100));
}

void TestView::previewWhileHeld() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Workspace& ws = w.workspace();
    ws.openPicture(ramp(1000, 500));
    w.Button1Click();
    w.SpeedButton3Click();  // Undo: the ramp again, with the status word of B&W
    const All before(ws);
    w.ScrollBox1->horizontalScrollBar()->setValue(300);
    w.ScrollBox2->horizontalScrollBar()->setValue(200);
    const int bottom = w.ScrollBox2->verticalScrollBar()->maximum();  // past the bar-less range
    w.ScrollBox2->verticalScrollBar()->setValue(bottom);

    QTest::mousePress(w.SpeedButton7, Qt::LeftButton);
    for (PicturePane* pane : {w.Image1, w.Image2}) {
        QCOMPARE(pane->size(), QSize(386, 400));
        QVERIFY(!pane->autoSize());
        const WorkBitmap& shown = pane->picture();
        QCOMPARE(sizeOf(shown), QSize(386, 400));
        // Fills the width: height 193 from top 103, white above and below.
        QVERIFY(rowIsWhite(shown, 0) && rowIsWhite(shown, 102));
        QVERIFY(!rowIsWhite(shown, 103) && !rowIsWhite(shown, 295));
        QVERIFY(rowIsWhite(shown, 296) && rowIsWhite(shown, 399));
    }
    QVERIFY(ws.keptResultPicture() == before.result);
    QVERIFY(ws.keptSourcePicture() == before.source);
    QTest::mouseRelease(w.SpeedButton7, Qt::LeftButton);
    QVERIFY(All(ws) == before);
    QCOMPARE(w.Image1->size(), QSize(1000, 500));
    // Scrolled where they were.
    QCOMPARE(w.ScrollBox1->horizontalScrollBar()->value(), 300);
    QCOMPARE(w.ScrollBox2->horizontalScrollBar()->value(), 200);
    QCOMPARE(w.ScrollBox2->verticalScrollBar()->value(), bottom);
    QVERIFY(w.Image1->autoSize() && w.Image2->autoSize());
    QCOMPARE(w.Label1->text(), QStringLiteral("Black and white"));

    // Any mouse button holds the preview.
    QTest::mousePress(w.SpeedButton7, Qt::RightButton);
    QCOMPARE(w.Image2->size(), QSize(386, 400));
    QTest::mouseRelease(w.SpeedButton7, Qt::RightButton);
    QVERIFY(All(ws) == before);
}

void TestView::previewOfASmallPicture() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.workspace().openPicture(ramp(100, 100));
    w.SpeedButton7MouseDown();
    const WorkBitmap& shown = w.workspace().resultPane();
    // Enlarged to 386 x 386 from top 7.
    QVERIFY(rowIsWhite(shown, 6) && !rowIsWhite(shown, 7) && !rowIsWhite(shown, 392) && rowIsWhite(shown, 393));
    w.SpeedButton7MouseUp();
    // An empty picture previews as a white frame, and comes back empty.
    w.workspace().openPicture(WorkBitmap());
    w.SpeedButton7MouseDown();
    QCOMPARE(sizeOf(w.workspace().resultPane()), QSize(386, 400));
    QVERIFY(rowIsWhite(w.workspace().resultPane(), 200));
    w.SpeedButton7MouseUp();
    QVERIFY(w.workspace().resultPane().empty());
}

// The platform reports a press soon after a click as a double-click.
void TestView::quickSecondPressPreviews() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPointF at(5, 5);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, w.SpeedButton7->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(w.SpeedButton7, &e);
    }
    QCOMPARE(w.Image1->size(), QSize(386, 400));
    QVERIFY(!w.Image1->autoSize());
    QTest::mouseRelease(w.SpeedButton7, Qt::LeftButton);
    QVERIFY(w.Image1->autoSize());
}

// Ctrl+Z while the preview is held or a stroke is drawn does nothing: the
// panes and the working pictures stay in step.
void TestView::commandsWaitDuringAGesture() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Workspace& ws = w.workspace();
    ws.openPicture(ramp(120, 90));
    w.Button16Click();
    const All inverted(ws);
    QTest::mousePress(w.SpeedButton7, Qt::LeftButton);
    QVERIFY(!w.Undo1->isEnabled());
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QTest::mouseRelease(w.SpeedButton7, Qt::LeftButton);
    QVERIFY(All(ws) == inverted);

    w.SpeedButton12Click();  // pen
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(w.Image1, Qt::Key_Z, Qt::ControlModifier);
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(ws.resultSnapshot() == inverted.resultSnapshot);
    QCOMPARE(ws.resultPane().pixel(26, 26), kBlack);

    // Afterwards the shortcut works again.
    QVERIFY(w.Undo1->isEnabled());
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(ws.resultPane() == inverted.undo);
}

void TestView::layout_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<QSize>("boxes");
    QTest::addColumn<int>("resultLeft");
    QTest::addColumn<int>("panel6Left");
    QTest::newRow("853") << 853 << QSize(396, 410) << 446 << 398;
    QTest::newRow("854") << 854 << QSize(397, 411) << 447 << 399;
    QTest::newRow("855") << 855 << QSize(398, 412) << 448 << 400;
    QTest::newRow("1000") << 1000 << QSize(470, 487) << 520 << 475;
}

void TestView::layout() {
    QFETCH(int, width);
    QFETCH(QSize, boxes);
    QFETCH(int, resultLeft);
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(width, 586);
    QCOMPARE(w.width(), width);
    QCOMPARE(w.ScrollBox1->size(), boxes);
    QCOMPARE(w.ScrollBox2->size(), boxes);
    QCOMPARE(w.ScrollBox1->pos(), QPoint(resultLeft, 32));
    QCOMPARE(w.ScrollBox2->pos(), QPoint(0, 32));
    QCOMPARE(w.ControlBar1->width(), width - 10);
    QCOMPARE(w.Label1->pos(), QPoint(resultLeft, boxes.height() + 35));
    QCOMPARE(w.TabbedNotebook1->pos(), QPoint(2, 586 - 125));
    QCOMPARE(w.TabbedNotebook1->width(), width - 10);
    QTEST(w.Panel6->x(), "panel6Left");
    QCOMPARE(w.Panel6->y(), 32);
    QCOMPARE(w.Panel6->size(), QSize(43, boxes.height()));
    // The pictures are not touched.
    QCOMPARE(w.Image1->size(), QSize(386, 400));
}

void TestView::smallestWindowKeepsWidthsPositive() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(10, 10);
    QVERIFY(w.width() >= w.minimumWidth());
    QVERIFY(w.ScrollBox1->width() > 0 && w.ScrollBox2->width() > 0);
    QVERIFY(w.TabbedNotebook1->y() > 0);
}

QTEST_MAIN(TestView)
#include "test_view.moc"
