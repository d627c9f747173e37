// SPDX-License-Identifier: GPL-3.0-or-later
// The "Freehand" page: tool buttons and cursors, pen, brush and rubber
// strokes made with real mouse events on the result pane, the eyedropper on
// the source pane and the colour dialog.
#include <QBitmap>
#include <QColorDialog>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>

#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "../support/pictures.h"

using namespace hueline;
using namespace hueline::app;

namespace {

using test_support::filled;

constexpr ColorValue kRed = 0x0000FF;

// Whether (px, py) lies in the disk of a stamp made with the pointer at
// (x, y), from the half-height table of the 33 columns.
bool inDisk(int x, int y, int px, int py) {
    static const int half[17] = {16, 16, 16, 16, 15, 15, 15, 14, 14, 13, 12, 12, 11, 9, 8, 6, 0};
    const int d = std::abs(px - (x + 16));
    return d <= 16 && std::abs(py - (y + 16)) <= half[d];
}

int countColour(const WorkBitmap& p, ColorValue c) {
    int n = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) n += p.pixel(x, y) == c;
    return n;
}

// A press and release at exactly (x, y); QTest takes the point (0, 0) to
// mean the widget's centre.
void clickExactly(QWidget* w, QPoint at) {
    const QPointF local(at), global(w->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// Chooses the drawing colour through the colour dialog.
void chooseColour(TMyPicture& w, ColorValue c, bool confirm = true) {
    QTimer::singleShot(0, w.ColorDialog1, [&w, c, confirm] {
        w.ColorDialog1->setCurrentColor(QColor(redOf(c), greenOf(c), blueOf(c)));
        if (confirm)
            w.ColorDialog1->accept();
        else
            w.ColorDialog1->reject();
    });
    QTest::mouseClick(w.ColorPanel, Qt::LeftButton);
}

}  // namespace

class TestFreehand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { w_.reset(); }

    void cursorsAreOurs();
    void toolButtonsChooseTheMode();
    void penStampAtTheCorner();
    void strokeShowsAsDrawnAndLandsWhenItEnds();
    void positionsOffThePictureAreNotStamped();
    void positionsOutOfSightAreNotStamped();
    void strokeClipsAtTheEdges();
    void brushPaintsOnlyWhatIsNotWhite();
    void rubberIgnoresTheColour();
    void penOnAPaletteAndEscapeEndsTheStroke();
    void noToolNothingChanges();
    void strokesTouchNoWorkingPicture();
    void undoDropsTheStrokes();
    void eyedropper();
    void colourDialogCancelKeepsTheColour();
    void selectAfterPenKeepsTheCircle();

private:
    TMyPicture& w() { return *w_; }
    std::unique_ptr<TMyPicture> w_;
};

void TestFreehand::init() {
    w_ = std::make_unique<TMyPicture>();
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    w_->TabbedNotebook1->setCurrentIndex(2);
    w_->workspace().openPicture(filled(100, 80, kWhite));
}

void TestFreehand::cursorsAreOurs() {
    w().SpeedButton12Click();
    const QCursor yuan = w().image1DragCursor();
    QCOMPARE(yuan.shape(), Qt::BitmapCursor);
    QCOMPARE(yuan.hotSpot(), QPoint(0, 0));
    // The circle's box is 32 x 31 from the top-left corner.
    const QImage mask = yuan.mask().toImage();
    QCOMPARE(mask.size(), QSize(32, 32));
    int right = -1, bottom = -1, left = 99, top = 99;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (mask.pixelIndex(x, y) == 1) {
                left = std::min(left, x), top = std::min(top, y);
                right = std::max(right, x), bottom = std::max(bottom, y);
            }
    QCOMPARE(QRect(QPoint(left, top), QPoint(right, bottom)), QRect(0, 0, 32, 31));
    // An outline: the centre is transparent.
    QCOMPARE(mask.pixelIndex(16, 15), 0);

    w().SpeedButton11Click();
    const QCursor eyedrop = w().Image2->cursor();
    QCOMPARE(eyedrop.shape(), Qt::BitmapCursor);
    QCOMPARE(eyedrop.hotSpot(), QPoint(1, 30));
    QCOMPARE(eyedrop.mask().toImage().pixelIndex(1, 30), 1);  // the tip is drawn
    QCOMPARE(w().Image1->cursor().shape(), Qt::ArrowCursor);
}

void TestFreehand::toolButtonsChooseTheMode() {
    QCOMPARE(w().toolMode(), ToolMode::None);
    const std::pair<QToolButton*, ToolMode> tools[] = {{w().SpeedButton11, ToolMode::Pick},
                                                       {w().SpeedButton15, ToolMode::Rubber},
                                                       {w().SpeedButton14, ToolMode::Brush},
                                                       {w().SpeedButton13, ToolMode::Select},
                                                       {w().SpeedButton12, ToolMode::Pen}};
    for (const auto& [button, mode] : tools) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(w().toolMode(), mode);
        QVERIFY(button->isChecked());
    }
    // Changing pages keeps the tool.
    w().TabbedNotebook1->setCurrentIndex(0);
    QCOMPARE(w().toolMode(), ToolMode::Pen);
}

void TestFreehand::penStampAtTheCorner() {
    chooseColour(w(), kRed);
    QCOMPARE(w().drawingColor(), kRed);
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    clickExactly(w().Image1, QPoint(0, 0));
    const WorkBitmap& r = w().workspace().resultPane();
    // The disk centred at (16, 16): 833 pixels, never the corner pixel.
    QCOMPARE(countColour(r, kRed), 833);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) QVERIFY2((r.pixel(x, y) == kRed) == inDisk(0, 0, x, y), qPrintable(QString("%1,%2").arg(x).arg(y)));
    QCOMPARE(r.pixel(0, 0), kWhite);
    QCOMPARE(r.pixel(0, 16), kRed);   // one pixel in the leftmost column
    QCOMPARE(r.pixel(0, 15), kWhite);
    QCOMPARE(r.pixel(32, 16), kRed);
    QCOMPARE(w().Image1->picture().pixel(16, 16), kRed);  // the pane shows it
}

void TestFreehand::strokeShowsAsDrawnAndLandsWhenItEnds() {
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mousePress(w().Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(w().strokeInProgress());
    QTest::mouseMove(w().Image1, QPoint(60, 40));
    QCOMPARE(countColour(w().workspace().resultPane(), kBlack), 0);  // nothing yet
    // ... but the pane shows both stamps as they are made.
    QCOMPARE(w().Image1->shownImage().pixel(26, 26), qRgb(0, 0, 0));
    QCOMPARE(w().Image1->shownImage().pixel(76, 56), qRgb(0, 0, 0));
    QCOMPARE(w().Image1->shownImage().pixel(50, 20), qRgb(255, 255, 255));
    QCOMPARE(w().Image1->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseRelease(w().Image1, Qt::LeftButton, {}, QPoint(60, 40));
    QVERIFY(!w().strokeInProgress());
    const WorkBitmap& r = w().workspace().resultPane();
    // Two separate disks, not joined.
    QCOMPARE(r.pixel(26, 26), kBlack);
    QCOMPARE(r.pixel(76, 56), kBlack);
    QCOMPARE(r.pixel(51, 41), kWhite);
}

void TestFreehand::positionsOffThePictureAreNotStamped() {
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mousePress(w().Image1, Qt::LeftButton, {}, QPoint(60, 10));
    QTest::mouseMove(w().Image1, QPoint(-10, 30));  // left of the picture
    QTest::mouseRelease(w().Image1, Qt::LeftButton, {}, QPoint(-10, 30));
    const WorkBitmap& r = w().workspace().resultPane();
    QCOMPARE(countColour(r, kBlack), 833);
    QCOMPARE(r.pixel(6, 46), kWhite);  // where the off-picture stamp would reach
}

// A picture larger than its pane: the held pointer over the scroll bar or
// the notebook lies over the picture's scrolled-out part and stamps nothing.
void TestFreehand::positionsOutOfSightAreNotStamped() {
    w().workspace().openPicture(filled(1000, 800, kWhite));
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    const QSize seen = w().ScrollBox1->viewport()->size();
    QTest::mousePress(w().Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(w().Image1, QPoint(10, seen.height() + 20));
    QTest::mouseMove(w().Image1, QPoint(seen.width() + 5, 10));
    QTest::mouseRelease(w().Image1, Qt::LeftButton, {}, QPoint(seen.width() + 5, 10));
    QCOMPARE(countColour(w().workspace().resultPane(), kBlack), 833);
}

void TestFreehand::strokeClipsAtTheEdges() {
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mouseClick(w().Image1, Qt::LeftButton, {}, QPoint(90, 70));
    const WorkBitmap& r = w().workspace().resultPane();
    int expected = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) {
            expected += inDisk(90, 70, x, y);
            QCOMPARE(r.pixel(x, y) == kBlack, inDisk(90, 70, x, y));
        }
    QCOMPARE(countColour(r, kBlack), expected);
    QVERIFY(expected < 833 / 4);
}

void TestFreehand::brushPaintsOnlyWhatIsNotWhite() {
    WorkBitmap p = filled(100, 80, kWhite);
    for (int x = 0; x < 100; ++x) p.setPixel(x, 16, makeColor(255, 255, 254));
    w().workspace().openPicture(p);
    chooseColour(w(), kRed);
    QTest::mouseClick(w().SpeedButton14, Qt::LeftButton);
    clickExactly(w().Image1, QPoint(20, 0));
    const WorkBitmap& r = w().workspace().resultPane();
    QCOMPARE(countColour(r, kRed), 33);  // the almost-white row across the disk
    for (int x = 20; x <= 52; ++x) QCOMPARE(r.pixel(x, 16), kRed);
    QCOMPARE(r.pixel(19, 16), makeColor(255, 255, 254));
    QCOMPARE(r.pixel(36, 20), kWhite);
    // With white as the colour, the brush whitens what is not white.
    chooseColour(w(), kWhite);
    clickExactly(w().Image1, QPoint(20, 0));
    QCOMPARE(countColour(w().workspace().resultPane(), kRed), 0);
}

void TestFreehand::rubberIgnoresTheColour() {
    w().workspace().openPicture(filled(100, 80, kBlack));
    chooseColour(w(), kRed);
    QTest::mouseClick(w().SpeedButton15, Qt::LeftButton);
    QTest::mouseClick(w().Image1, Qt::LeftButton, {}, QPoint(30, 20));
    const WorkBitmap& r = w().workspace().resultPane();
    QCOMPARE(countColour(r, kWhite), 833);
    QCOMPARE(countColour(r, kRed), 0);
}

// A picture with a colour table still gets the exact colour; the stroke
// leaves a 24-bit picture. Escape ends a stroke as a release does.
void TestFreehand::penOnAPaletteAndEscapeEndsTheStroke() {
    w().workspace().openPicture(filled(100, 80, makeColor(128, 128, 128), PixelFormat::Bits8));
    QCOMPARE(w().workspace().resultPane().format(), PixelFormat::Bits8);
    chooseColour(w(), kRed);
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mousePress(w().Image1, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::keyClick(w().Image1, Qt::Key_Escape);
    QVERIFY(!w().strokeInProgress());
    const WorkBitmap& r = w().workspace().resultPane();
    QCOMPARE(r.format(), PixelFormat::Bits24);
    QCOMPARE(r.pixel(36, 36), kRed);
    QCOMPARE(countColour(r, kRed), 833);
    QTest::mouseRelease(w().Image1, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(countColour(w().workspace().resultPane(), kRed), 833);
}

void TestFreehand::noToolNothingChanges() {
    const WorkBitmap before = w().workspace().resultPane();
    QTest::mousePress(w().Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(w().Image1, QPoint(30, 30));
    QTest::mouseRelease(w().Image1, Qt::LeftButton, {}, QPoint(30, 30));
    QVERIFY(w().workspace().resultPane() == before);
    QCOMPARE(w().Image1->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(w().Image2, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(w().drawingColor(), kBlack);
    // Select paints nothing either.
    QTest::mouseClick(w().SpeedButton13, Qt::LeftButton);
    QTest::mouseClick(w().Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(w().workspace().resultPane() == before);
}

void TestFreehand::strokesTouchNoWorkingPicture() {
    Workspace& ws = w().workspace();
    ws.openPicture(filled(100, 80, makeColor(10, 200, 30)));
    w().Button16Click();  // Inverse: a status word and fresh snapshots
    const WorkBitmap undo = ws.undoPicture(), src = ws.sourceSnapshot(), res = ws.resultSnapshot();
    const WorkBitmap orig = ws.originalPicture(), source = ws.sourcePane();
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mouseClick(w().Image1, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!(ws.resultPane() == res));
    QVERIFY(ws.undoPicture() == undo && ws.sourceSnapshot() == src && ws.resultSnapshot() == res);
    QVERIFY(ws.originalPicture() == orig && ws.sourcePane() == source);
    QCOMPARE(w().Label1->text(), QStringLiteral("Inversed"));
}

void TestFreehand::undoDropsTheStrokes() {
    Workspace& ws = w().workspace();
    ws.openPicture(filled(100, 80, makeColor(10, 200, 30)));
    const WorkBitmap before = ws.resultPane();
    w().Button16Click();
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mouseClick(w().Image1, Qt::LeftButton, {}, QPoint(5, 5));
    w().SpeedButton3Click();
    QVERIFY(ws.resultPane() == before);
}

void TestFreehand::eyedropper() {
    WorkBitmap p = filled(100, 80, kWhite);
    p.setPixel(3, 4, makeColor(1, 2, 3));
    p.setPixel(50, 60, makeColor(200, 100, 50));
    w().workspace().openPicture(p);
    QTest::mouseClick(w().SpeedButton11, Qt::LeftButton);
    QTest::mousePress(w().Image2, Qt::RightButton, {}, QPoint(3, 4));  // any button
    QVERIFY(w().picking());
    QCOMPARE(w().drawingColor(), makeColor(1, 2, 3));
    QCOMPARE(w().ColorPanel->palette().color(QPalette::Window), QColor(1, 2, 3));
    // The panel follows the held pointer; off the picture nothing is read.
    QTest::mouseMove(w().Image2, QPoint(50, 60));
    QCOMPARE(w().drawingColor(), makeColor(200, 100, 50));
    QTest::mouseMove(w().Image2, QPoint(150, 60));
    QCOMPARE(w().drawingColor(), makeColor(200, 100, 50));
    QTest::mouseRelease(w().Image2, Qt::RightButton, {}, QPoint(150, 60));
    QVERIFY(!w().picking());
    QTest::mouseMove(w().Image2, QPoint(3, 4));
    QCOMPARE(w().drawingColor(), makeColor(200, 100, 50));
    // The eyedropper reads the source pane, not the result pane.
    QCOMPARE(w().workspace().resultPane().pixel(50, 60), makeColor(200, 100, 50));
}

void TestFreehand::colourDialogCancelKeepsTheColour() {
    chooseColour(w(), makeColor(9, 99, 199));
    QCOMPARE(w().drawingColor(), makeColor(9, 99, 199));
    chooseColour(w(), kRed, false);
    QCOMPARE(w().drawingColor(), makeColor(9, 99, 199));
    QCOMPARE(w().ColorPanel->palette().color(QPalette::Window), QColor(9, 99, 199));
    QCOMPARE(w().toolMode(), ToolMode::None);
}

void TestFreehand::selectAfterPenKeepsTheCircle() {
    QCOMPARE(w().image1DragCursor().shape(), Qt::DragMoveCursor);
    QTest::mouseClick(w().SpeedButton12, Qt::LeftButton);
    QTest::mouseClick(w().SpeedButton13, Qt::LeftButton);
    QCOMPARE(w().image1DragCursor().shape(), Qt::BitmapCursor);
    QCOMPARE(w().Image1->cursor().shape(), Qt::ArrowCursor);
    QTest::mousePress(w().Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(w().Image1->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseRelease(w().Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(w().Image1->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestFreehand)
#include "test_freehand.moc"
