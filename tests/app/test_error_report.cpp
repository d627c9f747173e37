// SPDX-License-Identifier: GPL-3.0-or-later
// The application's one error report: an error thrown by any handler ends
// that handler and its text is shown in an error box, with a full stop
// appended when it has none. Runs under the program's own application
// object, so the test has its own main().
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include "app/application.h"
#include "app/fringe1.h"
#include "app/huelinemain.h"
#include "app/messages.h"

using namespace hueline;
using namespace hueline::app;

namespace {

struct Shown {
    MessageKind kind;
    QString caption, text;
};

// A button whose click throws what it is told to.
class ThrowingButton : public QPushButton {
public:
    explicit ThrowingButton(std::string what) : what_(std::move(what)) {
        connect(this, &QPushButton::clicked, this, [this] { throw std::runtime_error(what_); });
    }

private:
    std::string what_;
};

}  // namespace

class TestErrorReport : public QObject {
    Q_OBJECT
private slots:
    void init() {
        shown_.clear();
        setMessageHandler([this](MessageKind k, const QString& c, const QString& t) { shown_.push_back({k, c, t}); });
    }
    void cleanup() { setMessageHandler(nullptr); }

    void fullStop() {
        QCOMPARE(withFullStop("Cannot open a.bmp"), QStringLiteral("Cannot open a.bmp."));
        QCOMPARE(withFullStop("Cannot open a.bmp."), QStringLiteral("Cannot open a.bmp."));
        QCOMPARE(withFullStop("'x' is not a valid integer value"), QStringLiteral("'x' is not a valid integer value."));
    }

    void anyHandlersErrorIsShownOnce() {
        ThrowingButton b("Something failed");
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        QTest::mouseClick(&b, Qt::LeftButton);
        QCOMPARE(shown_.size(), std::size_t(1));
        QCOMPARE(shown_[0].kind, MessageKind::Error);
        QCOMPARE(shown_[0].text, QStringLiteral("Something failed."));
        // The program goes on: a second click reports again.
        QTest::mouseClick(&b, Qt::LeftButton);
        QCOMPARE(shown_.size(), std::size_t(2));
    }

    void badCoefficientFromTheDialogsButton() {
        TMyPicture w;
        w.show();
        QTest::mouseClick(w.Button9, Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(w.FormOfFringe1));
        const WorkBitmap before = w.workspace().resultPane();
        w.FormOfFringe1->Edit9->setText("abc");
        QTest::mouseClick(w.FormOfFringe1->Button1, Qt::LeftButton);
        QCOMPARE(shown_.size(), std::size_t(1));
        QCOMPARE(shown_[0].text, QStringLiteral("'abc' is not a valid integer value."));
        QVERIFY(w.workspace().resultPane() == before);
        QCOMPARE(w.Label1->text(), QStringLiteral("New picture"));
        // Mended, the next apply works.
        w.FormOfFringe1->Edit9->setText("-1");
        QTest::mouseClick(w.FormOfFringe1->Button1, Qt::LeftButton);
        QCOMPARE(shown_.size(), std::size_t(1));
        QCOMPARE(w.Label1->text(), QStringLiteral("Fringe 1"));
    }

    // A real box, from the fringe dialog that has the keyboard: it belongs
    // to the main window and opens centred over it.
    void boxesBelongToTheMainWindow() {
        setMessageHandler(nullptr);
        TMyPicture w;
        w.show();
        QTest::mouseClick(w.Button9, Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowActive(w.FormOfFringe1));
        QWidget* parent = nullptr;
        QPoint centre;
        QTimer::singleShot(0, &w, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            parent = box->parentWidget();
            centre = box->frameGeometry().center();
            box->close();
        });
        showMessage(MessageKind::Error, QStringLiteral("Hueline"), QStringLiteral("Cannot open a.bmp."));
        QCOMPARE(parent, &w);
        QVERIFY((centre - w.frameGeometry().center()).manhattanLength() <= 4);
    }

private:
    std::vector<Shown> shown_;
};

int main(int argc, char** argv) {
    HuelineApplication app(argc, argv);
    TestErrorReport test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_error_report.moc"
