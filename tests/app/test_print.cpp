// SPDX-License-Identifier: GPL-3.0-or-later
// Printing the result pane into a PDF file through QPrinter: the page is
// turned to the picture, the picture fitted and centred within the
// margins, a black-and-white drawing printed as curves and a colour
// picture as an image.
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include "app/huelinemain.h"
#include "app/print_picture.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/picture/errors.h"

using namespace hueline;
using namespace hueline::app;

namespace {

// A wide drawing: a black ring on white.
WorkBitmap ring() {
    WorkBitmap p(300, 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            const int dx = x - 150, dy = y - 100, r2 = dx * dx + dy * dy;
            if (r2 < 90 * 90 && r2 > 60 * 60) p.setPixel(x, y, kBlack);
        }
    return p;
}

// The page's size in points as the PDF states it.
QRegularExpression mediaBox(int width, int height) {
    return QRegularExpression(QStringLiteral("/MediaBox \\[0 0 %1(\\.0*)? %2(\\.0*)?\\]").arg(width).arg(height));
}

QByteArray printed(QPrinter& printer, const WorkBitmap& picture, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    orientForPicture(printer, picture);
    paintOnPage(printer, picture);
    QFile pdf(file);
    return pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
}

}  // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void drawingPrintsAsCurvesFittedOnALandscapePage();
    void colourPicturePrintsAsAnImage();
    void failuresAreReported();
};

void TestPrint::drawingPrintsAsCurvesFittedOnALandscapePage() {
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QByteArray pdf = printed(printer, ring(), dir.filePath("ring.pdf"));
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY(mediaBox(842, 595).match(QString::fromLatin1(pdf)).hasMatch());  // A4 turned to landscape, in points
    QVERIFY(!pdf.contains("/Subtype /Image"));
    // Rendered at 25 dpi, the ring stands in the page's middle, as tall as
    // the page between its 20 mm margins allows.
    const QString png = dir.filePath("page");
    const QString command = QStringLiteral("pdftoppm -r 25 -png -singlefile '%1' '%2'").arg(dir.filePath("ring.pdf"), png);
    QCOMPARE(std::system(command.toLocal8Bit().constData()), 0);
    const WorkBitmap page = readPngFile((png + ".png").toStdString());
    QVERIFY(page.width() > page.height());
    int top = page.height(), bottom = -1, left = page.width(), right = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFF) < 128) {
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
            }
    // The page is 210 mm tall, the ring 90 % of the 170 mm between margins.
    const double mm = page.height() / 210.0;
    QVERIFY2(std::abs((bottom - top + 1) - 153 * mm) <= 3, qPrintable(QString::number(bottom - top + 1)));
    QVERIFY(std::abs((top + bottom) - page.height()) <= 3);
    QVERIFY(std::abs((left + right) - page.width()) <= 3);
    QCOMPARE(page.pixel(page.width() / 2, page.height() / 2), kWhite);  // the hole stays open
}

void TestPrint::colourPicturePrintsAsAnImage() {
    QTemporaryDir dir;
    WorkBitmap tall(100, 300);
    tall.setPixel(50, 50, 0x2080C0);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QByteArray pdf = printed(printer, tall, dir.filePath("tall.pdf"));
    QVERIFY(mediaBox(595, 842).match(QString::fromLatin1(pdf)).hasMatch());
    QVERIFY(pdf.contains("/Subtype /Image"));
}

void TestPrint::failuresAreReported() {
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    QVERIFY_THROWS_EXCEPTION(UserError, printed(printer, WorkBitmap(), dir.filePath("empty.pdf")));
    QVERIFY_THROWS_EXCEPTION(UserError, printed(printer, ring(), dir.filePath("no/such/folder/ring.pdf")));
    QVERIFY(!QFile::exists(dir.filePath("empty.pdf")));
}

QTEST_MAIN(TestPrint)
#include "test_print.moc"
