// SPDX-License-Identifier: GPL-3.0-or-later
// The three fringe parameter dialogs: their design (captions, buttons,
// the coefficient grid, positions, sizes, tab orders), opening them from
// the "Color" page, applying, the dialog's Undo and Reset, and a box that
// does not hold an integer.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/fringe1.h"
#include "app/fringe2.h"
#include "app/fringe3.h"
#include "app/huelinemain.h"
#include "imaging/ops/convolution.h"
#include "imaging/ops/routines.h"
#include "imaging/picture/errors.h"
#include "imaging/ops/tones.h"

using namespace hueline;
using namespace hueline::app;

namespace {

QStringList namesOf(const std::array<QLineEdit*, 9>& edits) {
    QStringList texts;
    for (QLineEdit* e : edits) texts << e->text();
    return texts;
}

// The controls reached by pressing Tab, starting from the first.
QStringList tabChain(QWidget* first, int count) {
    QStringList names;
    QWidget* w = first;
    while (names.size() < count) {
        if (w->focusPolicy() & Qt::TabFocus) names << w->objectName();
        w = w->nextInFocusChain();
        if (w == first) break;
    }
    return names;
}

WorkBitmap fringe1Expected(const WorkBitmap& in, const Kernel& k) {
    WorkBitmap out;
    CopyMe(out, in);
    Convolve(k, 1, out);
    return out;
}

// The state a failed command must leave alone.
struct Everything {
    WorkBitmap result, source, undo, sourceSnapshot, resultSnapshot;
    std::string status;
    explicit Everything(const Workspace& ws)
        : result(ws.resultPane()),
          source(ws.sourcePane()),
          undo(ws.undoPicture()),
          sourceSnapshot(ws.sourceSnapshot()),
          resultSnapshot(ws.resultSnapshot()),
          status(ws.status()) {}
    bool operator==(const Everything&) const = default;
};

}  // namespace

class TestFringeDialogs : public QObject {
    Q_OBJECT
private slots:
    void design_data();
    void design();
    void tabOrders();
    void enterAppliesOnOpening();
    void createdHiddenAndOpenedCrossedOver();
    void fringe1Applies();
    void fringe2And3ApplyTheirOwnKernels();
    void applyTwiceBuildsOnTheFirstResult();
    void dialogUndoAndReset();
    void badTextChangesNothing_data();
    void badTextChangesNothing();
};

void TestFringeDialogs::design_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("apply");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QSize>("clientSize");
    QTest::addColumn<QStringList>("defaults");
    QTest::newRow("Fringe 1") << "FormOfFringe1" << "Parameter for Fringe1" << "Ok" << QPoint(69, 235)
                              << QSize(277, 195)
                              << QStringList{"1", "2", "1", "0", "0", "0", "-1", "-1", "-1"};
    QTest::newRow("Fringe 3 class 2") << "FormOfFringe2" << "Parameter for Fringe3" << "OK" << QPoint(121, 237)
                                      << QSize(270, 192)
                                      << QStringList{"-1", "-1", "-1", "0", "0", "0", "-1", "-1", "-1"};
    QTest::newRow("Fringe 2 class 3") << "FormOfFringe3" << "Parameter for Fringe2" << "OK" << QPoint(94, 236)
                                      << QSize(270, 195)
                                      << QStringList{"-1", "-2", "-1", "0", "0", "0", "1", "2", "1"};
}

void TestFringeDialogs::design() {
    QFETCH(QString, name);
    TMyPicture w;
    auto* d = w.findChild<FringeDialog*>(name);
    QVERIFY(d);
    QTEST(d->windowTitle(), "caption");
    QTEST(d->Button1->text(), "apply");
    QCOMPARE(d->Button2->text(), QStringLiteral("Undo"));
    QCOMPARE(d->Button3->text(), QStringLiteral("Reset"));
    QTEST(d->pos(), "position");
    QTEST(d->size(), "clientSize");
    // Fixed size, close box only, modeless; a tool window of the main
    // window, above it but not above everything.
    QCOMPARE(d->minimumSize(), d->maximumSize());
    const Qt::WindowFlags f = d->windowFlags();
    QCOMPARE(d->windowType(), Qt::Tool);
    QCOMPARE(d->parentWidget(), &w);
    QVERIFY(!(f & Qt::WindowStaysOnTopHint));
    QVERIFY(f & Qt::WindowCloseButtonHint);
    QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
    QVERIFY(!d->isModal());
    QTEST(namesOf(d->edits()), "defaults");
    // The buttons: 45 x 25 at y = 152.
    QCOMPARE(d->Button1->geometry(), QRect(48, 152, 45, 25));
    QCOMPARE(d->Button2->geometry(), QRect(112, 152, 45, 25));
    QCOMPARE(d->Button3->geometry(), QRect(176, 152, 45, 25));
    // The boxes sit as the neighbourhood is seen: Edit1 top left, Edit3
    // top right, Edit7 bottom left.
    const int lefts[3] = {56, 120, 184}, tops[3] = {32, 72, 104};
    const auto edits = d->edits();
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(edits[std::size_t(i)]->objectName(), QStringLiteral("Edit%1").arg(i + 1));
        QCOMPARE(edits[std::size_t(i)]->geometry(), QRect(lefts[i % 3], tops[i / 3], 25, 21));
    }
}

void TestFringeDialogs::tabOrders() {
    TMyPicture w;
    QCOMPARE(tabChain(w.FormOfFringe1->Button1, 12),
             (QStringList{"Button1", "Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9",
                          "Button2", "Button3"}));
    QCOMPARE(tabChain(w.FormOfFringe2->Button1, 12),
             (QStringList{"Button1", "Button2", "Button3", "Edit1", "Edit2", "Edit3", "Edit6", "Edit5", "Edit4",
                          "Edit7", "Edit8", "Edit9"}));
    QCOMPARE(tabChain(w.FormOfFringe3->Button1, 12),
             (QStringList{"Button1", "Edit1", "Edit2", "Edit3", "Edit6", "Edit5", "Edit4", "Edit7", "Edit8", "Edit9",
                          "Button2", "Button3"}));
}

// Each dialog opens with the focus on its apply button, so Enter applies,
// also when it opens again after the focus was left in a box.
void TestFringeDialogs::enterAppliesOnOpening() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const std::tuple<QPushButton*, FringeDialog*, QString> methods[] = {
        {w.Button9, w.FormOfFringe1, "Fringe 1"}, {w.Button13, w.FormOfFringe3, "Fringe 2"},
        {w.Button12, w.FormOfFringe2, "Fringe 3"}};
    for (const auto& [opener, dialog, word] : methods) {
        QTest::mouseClick(opener, Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(dialog->focusWidget(), dialog->Button1);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        QCOMPARE(w.Label1->text(), word);
    }
    w.FormOfFringe2->Edit5->setFocus();
    QTest::mouseClick(w.Button9, Qt::LeftButton);
    QTest::mouseClick(w.Button12, Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(w.FormOfFringe2));
    QCOMPARE(w.FormOfFringe2->focusWidget(), w.FormOfFringe2->Button1);
    // In a box Enter applies nothing.
    w.Label1->clear();
    QTest::keyClick(w.FormOfFringe2->Edit5, Qt::Key_Return);
    QCOMPARE(w.Label1->text(), QString());
}

void TestFringeDialogs::createdHiddenAndOpenedCrossedOver() {
    TMyPicture w;
    QVERIFY(!w.FormOfFringe1->isVisible());
    QVERIFY(!w.FormOfFringe2->isVisible());
    QVERIFY(!w.FormOfFringe3->isVisible());
    const WorkBitmap before = w.workspace().resultPane();

    QTest::mouseClick(w.Button9, Qt::LeftButton);
    QVERIFY(w.FormOfFringe1->isVisible());
    QVERIFY(!w.FormOfFringe2->isVisible() && !w.FormOfFringe3->isVisible());

    // "Fringe 2" opens the dialog captioned "Parameter for Fringe2" and
    // hides the Fringe 1 dialog.
    QTest::mouseClick(w.Button13, Qt::LeftButton);
    QVERIFY(w.FormOfFringe3->isVisible());
    QCOMPARE(w.FormOfFringe3->windowTitle(), QStringLiteral("Parameter for Fringe2"));
    QVERIFY(!w.FormOfFringe1->isVisible() && !w.FormOfFringe2->isVisible());

    QTest::mouseClick(w.Button12, Qt::LeftButton);
    QVERIFY(w.FormOfFringe2->isVisible());
    QCOMPARE(w.FormOfFringe2->windowTitle(), QStringLiteral("Parameter for Fringe3"));
    QVERIFY(!w.FormOfFringe1->isVisible() && !w.FormOfFringe3->isVisible());

    // Opening changes no picture and no text; closing only hides.
    QVERIFY(w.workspace().resultPane() == before);
    QCOMPARE(w.workspace().status(), std::string("New picture"));
    w.FormOfFringe2->Edit1->setText("7");
    w.FormOfFringe2->close();
    QVERIFY(!w.FormOfFringe2->isVisible());
    QTest::mouseClick(w.Button12, Qt::LeftButton);
    QCOMPARE(w.FormOfFringe2->Edit1->text(), QStringLiteral("7"));
}

void TestFringeDialogs::fringe1Applies() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    QTest::mouseClick(w.Button1, Qt::LeftButton);  // B&W first, so every step shows
    const WorkBitmap before = ws.resultPane();
    QTest::mouseClick(w.Button9, Qt::LeftButton);
    QTest::mouseClick(w.FormOfFringe1->Button1, Qt::LeftButton);
    QVERIFY(ws.resultPane() == fringe1Expected(before, kFringe1Defaults));
    QCOMPARE(ws.status(), std::string("Fringe 1"));
    QCOMPARE(w.Label1->text(), QStringLiteral("Fringe 1"));
    QVERIFY(ws.undoPicture() == before);
    QVERIFY(ws.sourceSnapshot() == ws.resultPane());  // the result pane, not the source
    QVERIFY(ws.resultSnapshot() == ws.resultPane());
    QVERIFY(w.FormOfFringe1->isVisible());  // the dialog stays open

    // The kernel is read from the boxes: the identity leaves the picture.
    const WorkBitmap sample = ws.sourcePane();
    QTest::mouseClick(w.Button6, Qt::LeftButton);  // Renew
    for (QLineEdit* e : w.FormOfFringe1->edits()) e->setText("0");
    w.FormOfFringe1->Edit5->setText(" 1");
    QTest::mouseClick(w.FormOfFringe1->Button1, Qt::LeftButton);
    QVERIFY(ws.resultPane() == sample);
}

void TestFringeDialogs::fringe2And3ApplyTheirOwnKernels() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    const WorkBitmap sample = ws.resultPane();

    QTest::mouseClick(w.Button13, Qt::LeftButton);
    QTest::mouseClick(w.FormOfFringe3->Button1, Qt::LeftButton);
    QVERIFY(ws.resultPane() == fringePicture(sample, kFringe2Defaults, kFringe2BuiltIn));
    QCOMPARE(w.Label1->text(), QStringLiteral("Fringe 2"));
    QVERIFY(ws.undoPicture() == sample);
    QVERIFY(ws.sourceSnapshot() == ws.resultPane());

    QTest::mouseClick(w.Button4 /* any command between */, Qt::LeftButton);
    QTest::mouseClick(w.Button7, Qt::LeftButton);  // Renew
    QTest::mouseClick(w.Button12, Qt::LeftButton);
    QTest::mouseClick(w.FormOfFringe2->Button1, Qt::LeftButton);
    QVERIFY(ws.resultPane() == fringePicture(sample, kFringe3Defaults, kFringe3BuiltIn));
    QCOMPARE(w.Label1->text(), QStringLiteral("Fringe 3"));
    // The two differ on a photo: the classes are not swapped twice.
    QVERIFY(!(fringePicture(sample, kFringe3Defaults, kFringe3BuiltIn) ==
              fringePicture(sample, kFringe2Defaults, kFringe2BuiltIn)));
}

void TestFringeDialogs::applyTwiceBuildsOnTheFirstResult() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    const WorkBitmap sample = ws.resultPane();
    w.FormOfFringe1->Button1Click();
    const WorkBitmap once = ws.resultPane();
    w.FormOfFringe1->Button1Click();
    QVERIFY(ws.resultPane() == fringe1Expected(once, kFringe1Defaults));
    QVERIFY(ws.undoPicture() == once);
    QVERIFY(!(once == sample));
}

void TestFringeDialogs::dialogUndoAndReset() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    const WorkBitmap sample = ws.resultPane();
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    w.FormOfFringe3->Button1Click();
    const WorkBitmap bw = ws.undoPicture();
    QVERIFY(!(bw == sample));

    // Undo in any dialog is the main window's Undo; twice is once.
    QTest::mouseClick(w.FormOfFringe2->Button2, Qt::LeftButton);
    QVERIFY(ws.resultPane() == bw);
    QVERIFY(ws.resultSnapshot() == bw);
    QCOMPARE(w.Label1->text(), QStringLiteral("Fringe 2"));
    QTest::mouseClick(w.FormOfFringe1->Button2, Qt::LeftButton);
    QVERIFY(ws.resultPane() == bw);

    // Reset puts the defaults back and touches no picture; the next apply
    // uses them.
    for (QLineEdit* e : w.FormOfFringe3->edits()) e->setText("5");
    QTest::mouseClick(w.FormOfFringe3->Button3, Qt::LeftButton);
    QCOMPARE(namesOf(w.FormOfFringe3->edits()),
             (QStringList{"-1", "-2", "-1", "0", "0", "0", "1", "2", "1"}));
    QVERIFY(ws.resultPane() == bw);
    QCOMPARE(w.Label1->text(), QStringLiteral("Fringe 2"));
    w.FormOfFringe3->Button1Click();
    QVERIFY(ws.resultPane() == fringePicture(bw, kFringe2Defaults, kFringe2BuiltIn));
}

void TestFringeDialogs::badTextChangesNothing_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::newRow("fringe 1, letters in Edit9") << 1 << 9 << "abc";
    QTest::newRow("fringe 1, empty Edit1") << 1 << 1 << "";
    QTest::newRow("fringe 1, trailing blank") << 1 << 5 << "7 ";
    QTest::newRow("fringe 2, fraction") << 3 << 9 << "1.5";
    QTest::newRow("fringe 3, too large") << 2 << 4 << "2147483648";
}

// A box that does not hold an integer stops the method before any picture
// changes: the panes, the status, both snapshots and the undo picture all
// stay as they were, so Undo still returns to the picture before the
// previous command.
void TestFringeDialogs::badTextChangesNothing() {
    QFETCH(int, dialog);
    QFETCH(int, box);
    QFETCH(QString, text);
    TMyPicture w;
    const Workspace& ws = w.workspace();
    const WorkBitmap sample = ws.resultPane();
    QTest::mouseClick(w.Button1, Qt::LeftButton);  // B&W: undo holds the sample
    const Everything before(ws);

    FringeDialog* d = dialog == 1   ? static_cast<FringeDialog*>(w.FormOfFringe1)
                      : dialog == 2 ? static_cast<FringeDialog*>(w.FormOfFringe2)
                                    : static_cast<FringeDialog*>(w.FormOfFringe3);
    d->edits()[std::size_t(box - 1)]->setText(text);
    try {
        d->Button1Click();
        QFAIL("the bad text was accepted");
    } catch (const UserError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
    QVERIFY(Everything(ws) == before);
    QCOMPARE(w.Label1->text(), QStringLiteral("Black and white"));
    QTest::mouseClick(w.Button10, Qt::LeftButton);
    QVERIFY(ws.resultPane() == sample);
}

QTEST_MAIN(TestFringeDialogs)
#include "test_fringe_dialogs.moc"
