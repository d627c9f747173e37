// SPDX-License-Identifier: GPL-3.0-or-later
// The first window: both panes with the sample picture, the status label,
// the B&W page's commands and split slider, Undo, Renew, Give and Get, and
// how a pane draws its picture.
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "app/command_line.h"
#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "imaging/ops/tones.h"

using namespace hueline;
using namespace hueline::app;

namespace {

template <typename T>
T* child(QObject* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control named %s", name);
    return w;
}

// The colour a widget shows at (x, y) on the screen, as 0x00BBGGRR.
ColorValue shownColor(QWidget* w, int x, int y) {
    const QImage img = w->grab(QRect(x, y, 1, 1)).toImage();
    const QColor c = img.pixelColor(0, 0);
    return makeColor(c.red(), c.green(), c.blue());
}

// A small picture whose every pixel differs, red and blue unequal.
WorkBitmap ramp(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < w; ++x) {
            r[3 * x] = std::uint8_t(x * 7);
            r[3 * x + 1] = std::uint8_t(y * 5);
            r[3 * x + 2] = std::uint8_t(200 - x - y);
        }
    }
    return p;
}

}  // namespace

class TestFirstWindow : public QObject {
    Q_OBJECT
private slots:
    void startsWithTheSampleInBothPanes();
    void bwThenSliderThenUndo();
    void giveAndGet();
    void paneDrawsFromTheRowsWithoutCopy();
    void paneConvertsOtherFormatsOnce();
    void paneTakesThePictureSize();
    void commandLineNamesOnePicture();
};

void TestFirstWindow::startsWithTheSampleInBothPanes() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    QCOMPARE(ws.resultPane().width(), 386);
    QCOMPARE(ws.resultPane().height(), 400);
    QCOMPARE(ws.resultPane().format(), PixelFormat::Bits24);
    QVERIFY(ws.sourcePane() == ws.resultPane());
    QVERIFY(ws.originalPicture() == ws.resultPane());
    QVERIFY(ws.undoPicture() == ws.resultPane());
    QVERIFY(ws.sourceSnapshot() == ws.resultPane());
    QVERIFY(ws.resultSnapshot() == ws.resultPane());
    QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("New picture"));
    QCOMPARE(child<QLabel>(&w, "Label9")->text(), QStringLiteral("125"));
    QCOMPARE(child<QSlider>(&w, "TrackBar1")->value(), 125);
    // The panes are the image areas inside their scroll boxes.
    auto* image1 = child<PicturePane>(&w, "Image1");
    auto* image2 = child<PicturePane>(&w, "Image2");
    QCOMPARE(child<QScrollArea>(&w, "ScrollBox1")->widget(), image1);
    QCOMPARE(child<QScrollArea>(&w, "ScrollBox2")->widget(), image2);
    QVERIFY(image1->picture() == ws.resultPane());
    QVERIFY(image2->picture() == ws.sourcePane());
}

void TestFirstWindow::bwThenSliderThenUndo() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const Workspace& ws = w.workspace();
    const WorkBitmap sample = ws.resultPane();
    auto* image1 = child<PicturePane>(&w, "Image1");

    QTest::mouseClick(child<QPushButton>(&w, "Button1"), Qt::LeftButton);
    QVERIFY(ws.resultPane() == blackWhitePicture(sample));
    QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Black and white"));
    QVERIFY(ws.undoPicture() == sample);
    QVERIFY(image1->picture() == ws.resultPane());

    // The slider thresholds SourceSnapshot (the source pane after B&W),
    // not the black-and-white result.
    auto* slider = child<QSlider>(&w, "TrackBar1");
    slider->setValue(200);
    QVERIFY(ws.resultPane() == bwSplitPicture(sample, 200));
    QCOMPARE(child<QLabel>(&w, "Label9")->text(), QStringLiteral("200"));
    QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Black and white"));
    QVERIFY(image1->picture() == ws.resultPane());
    // Back to an earlier position gives the earlier picture again.
    slider->setValue(10);
    slider->setValue(200);
    QVERIFY(ws.resultPane() == bwSplitPicture(sample, 200));

    // What the pane shows on the screen is the new picture.
    for (QPoint p : {QPoint(0, 0), QPoint(100, 150), QPoint(385, 399), QPoint(200, 300)})
        QCOMPARE(shownColor(image1, p.x(), p.y()), ws.resultPane().pixel(p.x(), p.y()));

    // Undo after slider moves shows the picture the slider started from.
    QTest::mouseClick(child<QPushButton>(&w, "Button10"), Qt::LeftButton);
    QVERIFY(ws.resultPane() == sample);
    QVERIFY(image1->picture() == sample);
    QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Black and white"));
    QCOMPARE(child<QLabel>(&w, "Label9")->text(), QStringLiteral("200"));
    QCOMPARE(shownColor(image1, 100, 150), sample.pixel(100, 150));
    // A second Undo shows the same picture again.
    QTest::mouseClick(child<QPushButton>(&w, "Button10"), Qt::LeftButton);
    QVERIFY(ws.resultPane() == sample);
}

void TestFirstWindow::giveAndGet() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    const WorkBitmap sample = ws.resultPane();
    QTest::mouseClick(child<QPushButton>(&w, "Button1"), Qt::LeftButton);
    const WorkBitmap bw = ws.resultPane();
    // Give: the result goes to the source pane; nothing else changes.
    QTest::mouseClick(child<QToolButton>(&w, "SpeedButton16"), Qt::LeftButton);
    QVERIFY(ws.sourcePane() == bw);
    QVERIFY(child<PicturePane>(&w, "Image2")->picture() == bw);
    QVERIFY(ws.undoPicture() == sample && ws.originalPicture() == sample);
    // Get: the source picture comes into the result pane.
    QTest::mouseClick(child<QPushButton>(&w, "Button10"), Qt::LeftButton);  // Undo: the sample again
    QTest::mouseClick(child<QToolButton>(&w, "SpeedButton17"), Qt::LeftButton);
    QVERIFY(ws.resultPane() == bw);
    QVERIFY(child<PicturePane>(&w, "Image1")->picture() == bw);
    QCOMPARE(child<QLabel>(&w, "Label1")->text(), QStringLiteral("Black and white"));
}

void TestFirstWindow::paneDrawsFromTheRowsWithoutCopy() {
    PicturePane pane;
    const WorkBitmap p = ramp(37, 23);  // odd width: rows are padded
    pane.setPicture(p);
    QCOMPARE(pane.shownImage().constBits(), p.constRow(0));
    QCOMPARE(pane.shownImage().bytesPerLine(), qsizetype(p.stride()));
    QVERIFY(pane.picture().sharesPixelsWith(p));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    for (QPoint q : {QPoint(0, 0), QPoint(36, 0), QPoint(0, 22), QPoint(36, 22), QPoint(17, 11)})
        QCOMPARE(shownColor(&pane, q.x(), q.y()), p.pixel(q.x(), q.y()));
}

void TestFirstWindow::paneConvertsOtherFormatsOnce() {
    PicturePane pane;
    WorkBitmap p8 = ramp(20, 10);
    p8.setPixelFormat(PixelFormat::Bits8);
    pane.setPicture(p8);
    QCOMPARE(pane.picture().format(), PixelFormat::Bits8);
    const uchar* bits = pane.shownImage().constBits();
    QVERIFY(bits != p8.constRow(0));
    // Repainting draws the same cached conversion.
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    pane.repaint();
    QCOMPARE(pane.shownImage().constBits(), bits);
    for (QPoint q : {QPoint(0, 0), QPoint(19, 9), QPoint(7, 4)})
        QCOMPARE(shownColor(&pane, q.x(), q.y()), p8.pixel(q.x(), q.y()));
}

void TestFirstWindow::paneTakesThePictureSize() {
    PicturePane pane;
    pane.setPicture(ramp(50, 30));
    QCOMPARE(pane.size(), QSize(50, 30));
    pane.setAutoSize(false);
    pane.resize(386, 400);
    pane.setPicture(ramp(10, 10));
    QCOMPARE(pane.size(), QSize(386, 400));
    pane.setAutoSize(true);
    QCOMPARE(pane.size(), QSize(10, 10));
    pane.setPicture(WorkBitmap());
    QCOMPARE(pane.size(), QSize(0, 0));
    QVERIFY(pane.shownImage().isNull());
}

// `hueline` starts on the sample, `hueline a.jpg` opens a.jpg, and of
// several files only the first is opened, the others named on stderr.
void TestFirstWindow::commandLineNamesOnePicture() {
    QVERIFY(startFileOf({"hueline"}).name.isEmpty());
    const StartFile one = startFileOf({"hueline", "a b.jpg"});
    QCOMPARE(one.name, QStringLiteral("a b.jpg"));
    QVERIFY(one.warning.empty());
    const StartFile three = startFileOf({"hueline", "a.jpg", "b.png", "c.bmp"});
    QCOMPARE(three.name, QStringLiteral("a.jpg"));
    QCOMPARE(three.warning, std::string("hueline: opens one picture at a time; opening a.jpg, not b.png, c.bmp"));
}

QTEST_MAIN(TestFirstWindow)
#include "test_first_window.moc"
