// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and saving in the window: the dialogs' filter entries and the
// entry kept for the run, cancelling, unreadable files and icons, the
// name rule for saving, dropping a file on the window, and a whole round
// from a photo to a saved sketch and back.
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMimeData>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/huelinemain.h"
#include "app/messages.h"
#include "app/open_progress.h"
#include "app/picture_pane.h"
#include "app/picture_preview.h"
#include "app/save_name.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/metafile/player.h"
#include "imaging/ops/tones.h"
#include "imaging/picture/progress.h"
#include "render/picture_loader.h"
#include "support/workspace_snapshot.h"

using namespace hueline;
using namespace hueline::app;

namespace {

using hueline::test_support::WorkspaceSnapshot;

QString data(const char* rel) { return QStringLiteral(HUELINE_TEST_DATA "/") + QString::fromLatin1(rel); }

// Answers the next modal file dialog once it is open: picks the filter
// entry (1-based, 0 for as it is), types the name and confirms, or cancels
// when the name is empty. Records the entry the dialog opened with.
struct DialogAnswer {
    QString openedWith;
    QString folder;
    QStringList shownFilters;
};

void answerDialog(QFileDialog* dialog, const QString& name, int entry, DialogAnswer* seen = nullptr) {
    QTimer::singleShot(0, dialog, [=] {
        if (seen) {
            seen->openedWith = dialog->selectedNameFilter();
            seen->folder = dialog->directory().absolutePath();
            seen->shownFilters = dialog->nameFilters();
        }
        if (entry > 0) dialog->selectNameFilter(dialog->nameFilters().at(entry - 1));
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        // As a user typing a name into the name box.
        for (auto* view : dialog->findChildren<QAbstractItemView*>()) view->clearSelection();
        dialog->setDirectory(QFileInfo(name).path());
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        box->setText(QFileInfo(name).fileName());
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept, reached as QDialog's
    });
}

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void init() {
        shown_.clear();
        setMessageHandler([this](MessageKind, const QString& caption, const QString& text) {
            shown_ << caption + "|" + text;
        });
        asked_ = 0;
        answer_ = UnsavedAnswer::Discard;
        setUnsavedHandler([this] {
            ++asked_;
            return answer_;
        });
    }
    void cleanup() {
        setMessageHandler(nullptr);
        setUnsavedHandler(nullptr);
    }

    void unsavedSketchIsAskedAbout();
    void dialogsStartInTheLastFolder();
    void forcedExtension_data();
    void forcedExtension();
    void openFillsBothPanesAndRestarts();
    void openKeepsTheStoredFormat();
    void openPlaysMetafiles();
    void openDialogFiltersAndKeptEntry();
    void cancelChangesNothing();
    void unreadableFilesChangeNothing_data();
    void unreadableFilesChangeNothing();
    void brokenIconShowsItsOwnMessageOnce();
    void damagedJpegOpensAndIsNamedOnce();
    void photosOpenUprightAndDamagedOnesAreNamed();
    void longOpenShowsProgressWithCancel();
    void previewGivesUpOverItsBudget();
    void saveFollowsTheSelectedEntry();
    void saveDialogKeepsItsEntry();
    void saveAsksBeforeAForcedNameReplacesAFile();
    void openShowsTheNewPictureFromItsCorner();
    void noCompletionListOutlivesTheDialog();
    void savingAnEmptyPictureWritesNothing();
    void droppedFileOpens();
    void photoToSketchAndBack();

private:
    QStringList shown_;
    int asked_ = 0;
    UnsavedAnswer answer_ = UnsavedAnswer::Discard;
};

void TestFiles::forcedExtension_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("saved");
    QTest::newRow("other extension") << "result.bmp" << ".jpg" << "result.jpg";
    QTest::newRow("no dot") << "result" << ".bmp" << "result.bmp";
    QTest::newRow("already right") << "result.jpg" << ".jpg" << "result.jpg";
    QTest::newRow("upper case") << "RESULT.JPG" << ".jpg" << "RESULT.jpg";
    QTest::newRow("last dot only") << "my.photo.v2.bmp" << ".jpg" << "my.photo.v2.jpg";
    QTest::newRow("dot in a folder") << "/home/u/pictures.old/photo" << ".jpg" << "/home/u/pictures.old/photo.jpg";
    QTest::newRow("both") << "/a.b/c.d" << ".bmp" << "/a.b/c.bmp";
    QTest::newRow("trailing dot") << "photo." << ".bmp" << "photo.bmp";
}

void TestFiles::forcedExtension() {
    QFETCH(QString, typed);
    QFETCH(QString, ext);
    QTEST(QString::fromStdString(withForcedExtension(typed.toStdString(), ext.toStdString())), "saved");
}

void TestFiles::openFillsBothPanesAndRestarts() {
    TMyPicture w;
    w.Button1Click();  // a status word that Open must keep
    const QString photo = data("jpeg/pillow/hopper.jpg");
    answerDialog(w.OpenPictureDialog1, photo, 0);
    w.SpeedButton1Click();
    const WorkBitmap expected = readJpegFile(photo.toStdString());
    const Workspace& ws = w.workspace();
    QVERIFY(ws.resultPane() == expected);
    QVERIFY(ws.sourcePane() == expected);
    QVERIFY(ws.originalPicture() == expected && ws.undoPicture() == expected);
    QVERIFY(ws.sourceSnapshot() == expected && ws.resultSnapshot() == expected);
    QCOMPARE(w.Label1->text(), QStringLiteral("Black and white"));
    QCOMPARE(w.Image1->size(), QSize(expected.width(), expected.height()));
    QCOMPARE(w.Image2->size(), QSize(expected.width(), expected.height()));
    // Undo right after Open changes nothing visible; Renew returns here.
    w.SpeedButton3Click();
    QVERIFY(ws.resultPane() == expected);
    w.Button20Click();
    w.SpeedButton4Click();
    QVERIFY(ws.resultPane() == expected);
}

void TestFiles::openKeepsTheStoredFormat() {
    TMyPicture w;
    // An 8-bit BMP arrives as an 8-bit picture, also through an upper-case
    // name; a grayscale JPEG as 8-bit gray.
    QTemporaryDir dir;
    const QString upper = dir.filePath("PAL8.BMP");
    QVERIFY(QFile::copy(data("bmp/g/pal8.bmp"), upper));
    w.OpenPicture(upper);
    QCOMPARE(w.workspace().resultPane().format(), PixelFormat::Bits8);
    QVERIFY(w.workspace().resultPane() == readBmpFile(data("bmp/g/pal8.bmp").toStdString()));
    w.OpenPicture(data("jpeg/pillow/hopper_gray.jpg"));
    QCOMPARE(w.workspace().sourcePane().format(), PixelFormat::Bits8);
    // The pane draws the 8-bit picture through its 24-bit conversion.
    QCOMPARE(w.Image1->shownImage().pixelColor(5, 5).red(),
             redOf(w.workspace().resultPane().pixel(5, 5)));
}

void TestFiles::openPlaysMetafiles() {
    // An enhanced and a placeable Windows metafile, with names in mixed
    // case: both panes show the played picture at its natural size in 24
    // bits, and the working pictures start from it.
    QTemporaryDir dir;
    const struct {
        const char* file;
        const char* name;
        PictureKind kind;
    } cases[] = {{"metafile/emf/pillow/drawing.emf", "Drawing.Emf", PictureKind::Emf},
                 {"metafile/wmf/pillow/drawing.wmf", "DRAWING.wmf", PictureKind::Wmf}};
    for (const auto& c : cases) {
        TMyPicture w;
        const QString path = dir.filePath(c.name);
        QVERIFY(QFile::copy(data(c.file), path));
        w.OpenPicture(path);
        const Workspace& ws = w.workspace();
        const auto bytes = readFileBytes(path.toStdString());
        const MetafileSize size = metafileNaturalSize(bytes, c.name, c.kind);
        QCOMPARE(ws.resultPane().width(), size.width);
        QCOMPARE(ws.resultPane().height(), size.height);
        QCOMPARE(ws.resultPane().format(), PixelFormat::Bits24);
        QVERIFY(ws.sourcePane() == ws.resultPane());
        QVERIFY(ws.originalPicture() == ws.resultPane());
        // Something was drawn: the picture is not all white.
        bool drawn = false;
        for (int y = 0; y < size.height && !drawn; ++y)
            for (int x = 0; x < size.width && !drawn; ++x) drawn = ws.resultPane().pixel(x, y) != kWhite;
        QVERIFY(drawn);
        QCOMPARE(w.Image1->width(), size.width);
    }
}

void TestFiles::openDialogFiltersAndKeptEntry() {
    TMyPicture w;
    DialogAnswer first, second;
    answerDialog(w.OpenPictureDialog1, data("bmp/g/pal8.bmp"), 2, &first);
    w.SpeedButton1Click();
    QCOMPARE(first.shownFilters.size(), 8);
    QCOMPARE(first.shownFilters[0], QStringLiteral("*.jpg"));
    QCOMPARE(first.shownFilters[1], QStringLiteral("*.bmp"));
    QCOMPARE(first.shownFilters[2], QStringLiteral("*.png"));
    // One entry per photo kind after those, then one for every kind read.
    QCOMPARE(first.shownFilters[3], QStringLiteral("HEIF photos (*.heic *.heif)"));
    QCOMPARE(first.shownFilters[6], QStringLiteral("TIFF pictures (*.tif *.tiff)"));
    for (const char* pattern : {"*.jpeg", "*.heic", "*.avif", "*.webp", "*.tiff", "*.ico", "*.emf"})
        QVERIFY(first.shownFilters[7].contains(QLatin1String(pattern)));
    QCOMPARE(first.openedWith, QStringLiteral("*.jpg"));  // what the user sees
    QVERIFY(w.OpenPictureDialog1->testOption(QFileDialog::DontUseNativeDialog));
    // The preview shows a picture the program reads, and a word otherwise.
    auto* preview = w.OpenPictureDialog1->findChild<PicturePreview*>("Preview");
    QVERIFY(preview);
    preview->showFile(data("jpeg/pillow/hopper.jpg"));
    QVERIFY(!preview->pixmap().isNull());
    QCOMPARE(preview->pixmap().size(), QSize(PicturePreview::kWidth, PicturePreview::kHeight));
    for (const char* photo : {"formats/heif/rotated.heic", "formats/webp/alpha.webp", "formats/tiff/orient6.tif"}) {
        preview->showFile(data(photo));
        QVERIFY2(!preview->pixmap().isNull(), photo);
    }
    preview->showFile(data("ico/bad/dotnet_invalid-empty.ico"));
    QVERIFY(preview->pixmap().isNull());
    QCOMPARE(preview->text(), QStringLiteral("No preview"));
    QVERIFY(shown_.isEmpty());  // a broken icon in the preview shows no message
    // The entry picked last time is where the dialog starts next time.
    answerDialog(w.OpenPictureDialog1, QString(), 0, &second);
    w.SpeedButton1Click();
    QCOMPARE(second.openedWith, QStringLiteral("*.bmp"));
    // The list matches the patterns whatever the case of the names.
    auto* model = w.OpenPictureDialog1->findChild<QFileSystemModel*>();
    QVERIFY(model);
    QVERIFY(!(model->filter() & QDir::CaseSensitive));
}

void TestFiles::cancelChangesNothing() {
    TMyPicture w;
    w.Button1Click();
    w.Button20Click();
    const WorkspaceSnapshot before(w.workspace());
    answerDialog(w.OpenPictureDialog1, QString(), 0);
    w.SpeedButton1Click();
    QVERIFY(WorkspaceSnapshot(w.workspace()) == before);
    QVERIFY(shown_.isEmpty());
}

void TestFiles::unreadableFilesChangeNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");  // empty: the file does not exist
    QTest::newRow("missing bmp") << "missing.bmp" << QByteArray();
    QTest::newRow("missing jpeg") << "missing.jpg" << QByteArray();
    QTest::newRow("unknown kind") << "photo.gif" << QByteArray("GIF89a....");
    QTest::newRow("broken bmp") << "broken.bmp" << QByteArray("BM\x10\x00\x00\x00", 6);
    QTest::newRow("broken jpeg") << "broken.jpg" << QByteArray("\xFF\xD8\xFF\xE0garbage", 12);
}

// A file that cannot be read ends Open with its error for the error
// report; the panes and every working picture keep what they held.
void TestFiles::unreadableFilesChangeNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!bytes.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    TMyPicture w;
    w.Button1Click();
    const WorkspaceSnapshot before(w.workspace());
    try {
        w.OpenPicture(path);
        QFAIL("the file was taken");
    } catch (const FileError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(name), e.what());
    }
    QVERIFY(WorkspaceSnapshot(w.workspace()) == before);
}

void TestFiles::brokenIconShowsItsOwnMessageOnce() {
    TMyPicture w;
    w.Button1Click();
    const WorkspaceSnapshot before(w.workspace());
    const QString icon = data("ico/bad/dotnet_invalid-empty.ico");
    w.OpenPicture(icon);
    QCOMPARE(shown_.size(), 1);
    QVERIFY2(shown_[0].startsWith("Exit|Input picture" + icon + "Error."), qPrintable(shown_[0]));
    QVERIFY(shown_[0].size() > QString("Exit|Input picture" + icon + "Error.").size());
    QVERIFY(WorkspaceSnapshot(w.workspace()) == before);
}

namespace {

// A JPEG file of a colourful picture; cut to `keep` of its bytes.
QString writeJpeg(const QTemporaryDir& dir, const QString& name, int width, int height, double keep = 1.0) {
    WorkBitmap p(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.setPixel(x, y, makeColor(x & 0xFF, y & 0xFF, (x + y) & 0xFF));
    const std::vector<std::uint8_t> bytes = encodeJpeg(p);
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(double(bytes.size()) * keep));
    return path;
}

}  // namespace

// A JPEG cut short opens as libjpeg decodes it, and one message, after
// the picture is in the panes, says what is gray.
void TestFiles::damagedJpegOpensAndIsNamedOnce() {
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, "short.jpg", 128, 256, 0.6);
    TMyPicture w;
    w.OpenPicture(path);
    QCOMPARE(w.workspace().resultPane().height(), 256);
    QCOMPARE(shown_.size(), 1);
    QVERIFY2(shown_[0].startsWith("Damaged picture|" + path + " is damaged: its data ends early, so the picture is gray below row "),
             qPrintable(shown_[0]));
    shown_.clear();
    w.OpenPicture(writeJpeg(dir, "whole.jpg", 64, 128));
    QVERIFY(shown_.isEmpty());
}

// Past its delay the progress dialog shows, names the file, and its
// Cancel stops the read at the next checkpoint.
void TestFiles::longOpenShowsProgressWithCancel() {
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, "large.jpg", 600, 400);
    TMyPicture w;
    QString label;
    QTimer::singleShot(0, &w, [&] {
        auto* dialog = w.findChild<QProgressDialog*>(QStringLiteral("OpenProgress"));
        if (!dialog) return;
        label = dialog->labelText();
        dialog->cancel();
    });
    const OpenProgress progress(&w, path, std::chrono::milliseconds(0));
    QVERIFY_THROWS_EXCEPTION(Cancelled, LoadPictureFile(path.toStdString()));
    QCOMPARE(label, QStringLiteral("Opening large.jpg ..."));
    // Within its delay no dialog shows and nothing is stopped.
    const OpenProgress patient(&w, path);
    QCOMPARE(LoadPictureFile(path.toStdString()).width(), 600);
    QVERIFY(patient.dialog() == nullptr);
}

void TestFiles::previewGivesUpOverItsBudget() {
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, "photo.jpg", 600, 400);
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PicturePreview quick(&dialog);
    quick.showFile(path);
    QCOMPARE(quick.pixmap().size(), QSize(PicturePreview::kWidth, PicturePreview::kHeight));
    PicturePreview spent(&dialog, std::chrono::milliseconds(0));
    spent.showFile(path);
    QVERIFY(spent.pixmap().isNull());
    QCOMPARE(spent.text(), QStringLiteral("No preview"));
    // A metafile's drawing is stopped by the same budget.
    const QString wmf = data("metafile/wmf/libreoffice-sdk/chicken.wmf");
    PicturePreview drawn(&dialog);
    drawn.showFile(wmf);
    QVERIFY(!drawn.pixmap().isNull());
    spent.showFile(wmf);
    QVERIFY(spent.pixmap().isNull());
}

void TestFiles::saveFollowsTheSelectedEntry() {
    TMyPicture w;
    w.Button1Click();
    const WorkBitmap result = w.workspace().resultPane();
    QTemporaryDir dir;
    // Entry 1 writes JPEG whatever the typed name says.
    QCOMPARE(w.savePicture(dir.filePath("result.bmp"), 1), dir.filePath("result.jpg"));
    QVERIFY(!QFile::exists(dir.filePath("result.bmp")));
    const WorkBitmap jpeg = readJpegFile(dir.filePath("result.jpg").toStdString());
    QCOMPARE(jpeg.width(), result.width());
    QCOMPARE(jpeg.height(), result.height());
    // Entry 2 writes BMP, exactly the pane's pixels.
    QCOMPARE(w.savePicture(dir.filePath("result"), 2), dir.filePath("result.bmp"));
    QVERIFY(readBmpFile(dir.filePath("result.bmp").toStdString()) == result);
    // An existing file is replaced without a question.
    w.Button20Click();
    w.SpeedButton3Click();  // back to B&W: same pixels again
    w.Button16Click();      // inverse
    w.savePicture(dir.filePath("result.bmp"), 2);
    QVERIFY(readBmpFile(dir.filePath("result.bmp").toStdString()) == w.workspace().resultPane());
    // A folder that does not exist fails with the file's name.
    QVERIFY_THROWS_EXCEPTION(FileError, w.savePicture(dir.filePath("no/such/folder/x"), 2));
}

void TestFiles::saveDialogKeepsItsEntry() {
    TMyPicture w;
    QTemporaryDir dir;
    DialogAnswer first, second;
    QVERIFY(w.SavePictureDialog1->testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(w.SavePictureDialog1->defaultSuffix().isEmpty());
    answerDialog(w.SavePictureDialog1, dir.filePath("a.jpg"), 2, &first);
    w.SpeedButton2Click();
    QCOMPARE(first.shownFilters, QStringList({"*.jpg", "*.bmp", "*.png", "*.svg", "*.pdf"}));
    QCOMPARE(first.openedWith, QStringLiteral("*.jpg"));
    QVERIFY(QFile::exists(dir.filePath("a.bmp")));
    QVERIFY(!QFile::exists(dir.filePath("a.jpg")));
    answerDialog(w.SavePictureDialog1, dir.filePath("b"), 0, &second);
    w.SpeedButton2Click();
    QCOMPARE(second.openedWith, QStringLiteral("*.bmp"));
    QVERIFY(QFile::exists(dir.filePath("b.bmp")));
    answerDialog(w.SavePictureDialog1, dir.filePath("c.png"), 5);
    w.SpeedButton2Click();
    QVERIFY(QFile::exists(dir.filePath("c.pdf")));
    // Cancelled: nothing written.
    answerDialog(w.SavePictureDialog1, QString(), 0);
    w.SpeedButton2Click();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

// Typed sketch.jpg with entry "*.bmp": sketch.bmp is written, and when it
// exists the user is asked first. A name typed as written is not asked.
void TestFiles::saveAsksBeforeAForcedNameReplacesAFile() {
    QStringList asked;
    bool answer = false;
    setQuestionHandler([&](const QString&, const QString& text) {
        asked << text;
        return answer;
    });
    TMyPicture w;
    QTemporaryDir dir;
    const QString bmp = dir.filePath("sketch.bmp");
    w.savePicture(bmp, 2);
    const WorkBitmap first = readBmpFile(bmp.toStdString());
    w.Button16Click();  // inverse: another picture to save
    answerDialog(w.SavePictureDialog1, dir.filePath("sketch.jpg"), 2);
    w.SpeedButton2Click();
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].contains("sketch.bmp"));
    QVERIFY(readBmpFile(bmp.toStdString()) == first);  // "No" keeps the file
    QVERIFY(!QFile::exists(dir.filePath("sketch.jpg")));
    answer = true;
    answerDialog(w.SavePictureDialog1, dir.filePath("sketch.jpg"), 2);
    w.SpeedButton2Click();
    QVERIFY(readBmpFile(bmp.toStdString()) == w.workspace().resultPane());
    w.Button16Click();
    answerDialog(w.SavePictureDialog1, bmp, 2);
    w.SpeedButton2Click();
    QCOMPARE(asked.size(), 2);
    QVERIFY(readBmpFile(bmp.toStdString()) == w.workspace().resultPane());
    setQuestionHandler(nullptr);
}

// Open shows both panes of the new picture from their top-left corner; a
// file that fails to open leaves the scrolling as it was.
void TestFiles::openShowsTheNewPictureFromItsCorner() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTemporaryDir dir;
    const QString big = dir.filePath("big.bmp");
    writeBmpFile(WorkBitmap(1200, 900), big.toStdString());
    w.OpenPicture(big);
    QList<QScrollBar*> bars;
    for (QScrollArea* box : {w.ScrollBox1, w.ScrollBox2})
        bars << box->horizontalScrollBar() << box->verticalScrollBar();
    for (QScrollBar* bar : bars) bar->setValue(bar->maximum());
    QVERIFY_THROWS_EXCEPTION(FileError, w.OpenPicture(dir.filePath("missing.bmp")));
    for (QScrollBar* bar : bars) QVERIFY(bar->value() > 0 && bar->value() == bar->maximum());
    w.OpenPicture(big);
    for (QScrollBar* bar : bars) QCOMPARE(bar->value(), 0);
}

// A path typed into the name box opens its completion list; once the
// dialog is done, no such list is left over the window.
void TestFiles::noCompletionListOutlivesTheDialog() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCompleter* completer = nullptr;
    QTimer::singleShot(0, w.OpenPictureDialog1, [&] {
        auto* box = w.OpenPictureDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        completer = box->completer();
        box->setText(data("bmp/g/pal8.bmp"));
        completer->popup()->show();
        static_cast<QDialog*>(w.OpenPictureDialog1)->accept();
    });
    w.SpeedButton1Click();
    QVERIFY(completer);
    QVERIFY(!completer->popup()->isVisible());
    QVERIFY(w.workspace().resultPane() == readBmpFile(data("bmp/g/pal8.bmp").toStdString()));
}

void TestFiles::savingAnEmptyPictureWritesNothing() {
    TMyPicture w;
    QTemporaryDir dir;
    w.OpenPicture(data("bmp/g/pal8.bmp"));
    w.workspace().finishStroke(WorkBitmap());  // the result pane now holds nothing
    QVERIFY_THROWS_EXCEPTION(UserError, w.savePicture(dir.filePath("empty"), 1));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestFiles::photosOpenUprightAndDamagedOnesAreNamed() {
    TMyPicture w;
    w.OpenPicture(data("formats/heif/rotated.heic"));  // turned by the file, 48 x 32 stored
    QCOMPARE(w.workspace().resultPane().width(), 32);
    QCOMPARE(w.workspace().sourcePane().height(), 48);
    QVERIFY(shown_.isEmpty());
    const QString damaged = data("formats/webp/truncated.webp");
    w.OpenPicture(damaged);
    QCOMPARE(w.workspace().resultPane().width(), 48);
    QCOMPARE(shown_.size(), 1);
    QVERIFY2(shown_[0].startsWith("Damaged picture|" + damaged + " is damaged: its data ends early"),
             qPrintable(shown_[0]));
}

void TestFiles::droppedFileOpens() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(data("bmp/g/pal8.bmp"))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    QVERIFY(w.workspace().resultPane() == readBmpFile(data("bmp/g/pal8.bmp").toStdString()));
    QVERIFY(w.workspace().sourcePane() == w.workspace().resultPane());
}

// Open a photo, sketch it, save it both ways, open the saved files again.
void TestFiles::photoToSketchAndBack() {
    TMyPicture w;
    QTemporaryDir dir;
    w.OpenPicture(data("jpeg/pillow/hopper.jpg"));
    w.Button1Click();
    const WorkBitmap sketch = w.workspace().resultPane();
    QVERIFY(sketch == blackWhitePicture(w.workspace().sourcePane()));
    const QString bmp = w.savePicture(dir.filePath("sketch"), 2);
    const QString jpg = w.savePicture(dir.filePath("sketch"), 1);
    const QString png = w.savePicture(dir.filePath("sketch.bmp"), 3);
    QCOMPARE(png, dir.filePath("sketch.png"));
    for (const QString& exact : {bmp, png}) {
        w.OpenPicture(exact);
        QVERIFY(w.workspace().resultPane() == sketch);
        QVERIFY(w.workspace().sourcePane() == sketch);
    }
    w.OpenPicture(jpg);
    const WorkBitmap back = w.workspace().resultPane();
    QCOMPARE(back.width(), sketch.width());
    // JPEG is lossy: black and white come back close to black and white.
    int far = 0;
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
            if (std::abs(int(back.pixel(x, y) & 0xFF) - int(sketch.pixel(x, y) & 0xFF)) > 96) ++far;
    QVERIFY2(far < back.width() * back.height() / 50, qPrintable(QString::number(far)));
}

// Open, a drop and closing ask before replacing a sketch that was not
// saved; a result just opened, renewed or saved is not asked about.
void TestFiles::unsavedSketchIsAskedAbout() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(data("bmp/g/pal8.bmp"))});
    auto drop = [&] {
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QDropEvent event(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &event);
    };
    const WorkBitmap pal8 = readBmpFile(data("bmp/g/pal8.bmp").toStdString());
    drop();
    QCOMPARE(asked_, 0);  // the sample, untouched
    QVERIFY(w.workspace().resultPane() == pal8);

    w.Button20Click();
    const WorkBitmap gray = w.workspace().resultPane();
    answer_ = UnsavedAnswer::Cancel;
    drop();
    QCOMPARE(asked_, 1);
    QVERIFY(w.workspace().resultPane() == gray);
    QVERIFY(!w.close());
    QVERIFY(w.isVisible() && w.workspace().resultPane() == gray);

    // Save runs Save As; once saved, the drop goes ahead.
    QTemporaryDir dir;
    answer_ = UnsavedAnswer::Save;
    answerDialog(w.SavePictureDialog1, dir.filePath("sketch"), 2);
    drop();
    QCOMPARE(asked_, 3);
    QVERIFY(readBmpFile(dir.filePath("sketch.bmp").toStdString()) == gray);
    QVERIFY(w.workspace().resultPane() == pal8);

    // A stroke counts; Renew and Save end the question.
    QVERIFY(!w.unsavedWork());
    w.SpeedButton12Click();
    w.Image1StartDrag();
    w.Image1DragOver(QPoint(2, 2));
    w.Image1EndDrag();
    QVERIFY(w.unsavedWork());
    w.SpeedButton4Click();
    QVERIFY(!w.unsavedWork());
    w.Button16Click();
    w.savePicture(dir.filePath("again"), 3);
    QVERIFY(!w.unsavedWork());
    QVERIFY(w.close());
    QCOMPARE(asked_, 3);
}

// Both dialogs start in the folder of the last picture opened or saved.
void TestFiles::dialogsStartInTheLastFolder() {
    TMyPicture w;
    QTemporaryDir one, two;
    QVERIFY(QFile::copy(data("bmp/g/pal8.bmp"), one.filePath("pal8.bmp")));
    w.OpenPicture(one.filePath("pal8.bmp"));
    DialogAnswer save;
    answerDialog(w.SavePictureDialog1, two.filePath("sketch"), 2, &save);
    w.SpeedButton2Click();
    QCOMPARE(save.folder, QFileInfo(one.path()).absoluteFilePath());
    DialogAnswer open;
    answerDialog(w.OpenPictureDialog1, QString(), 0, &open);
    w.SpeedButton1Click();
    QCOMPARE(open.folder, QFileInfo(two.path()).absoluteFilePath());
}

QTEST_MAIN(TestFiles)
#include "test_files.moc"
