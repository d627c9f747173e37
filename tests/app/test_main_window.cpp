// SPDX-License-Identifier: GPL-3.0-or-later
// The full main window against its design: the control tree (names,
// captions, tooltips, geometry, pages, sliders), the menus, the radio
// groups of the tool buttons, page switching, the About panel, Online and
// Exit, and every button and menu item reaching its command.
#include <QAction>
#include <QButtonGroup>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "app/fringe1.h"
#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "imaging/ops/tones.h"

using namespace hueline;
using namespace hueline::app;

namespace {

template <typename T>
T* child(QObject* parent, const QString& name) {
    T* w = parent->findChild<T*>(name);
    if (!w) qFatal("no control named %s", qPrintable(name));
    return w;
}

}  // namespace

// Receives the web address that Online asks the platform to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void windowDesign();
    void frames_data();
    void frames();
    void toolButtons_data();
    void toolButtons();
    void pageButtons_data();
    void pageButtons();
    void pagesAndSliders();
    void labels();
    void menus();
    void radioGroups();
    void pageSwitching();
    void aboutPanel();
    void online();
    void commandsFromButtons_data();
    void commandsFromButtons();
    void historyFromEveryControl_data();
    void historyFromEveryControl();
    void colorSplitSlider();
    void exitReleasesAndCloses();
    void closingEndsLikeExit();
    void workShowsTheBusyCursor();
};

void TestMainWindow::windowDesign() {
    TMyPicture w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Hueline v2.5"));
    QCOMPARE(w.size(), QSize(854, 586));
    QCOMPARE(w.pos(), QPoint(15, 27));
    // The icon is the desktop menu's artwork.
    const QImage icon = w.windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage desktop = QImage(QStringLiteral(HUELINE_TEST_DATA "/../../data/icons/32x32/hueline.png"))
                               .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(desktop.size(), QSize(32, 32));
    long long difference = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb a = icon.pixel(x, y), b = desktop.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
        }
    QVERIFY2(difference < 32 * 32 * 4 * 8, qPrintable(QString::number(difference)));
    QCOMPARE(w.TabbedNotebook1->currentIndex(), 0);
    QVERIFY(!w.Panel3->isVisibleTo(&w));
}

// Design-time geometry, before the first showing re-lays the window out.
void TestMainWindow::frames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("ControlBar1") << "ControlBar1" << QRect(0, 0, 797, 30);
    QTest::newRow("Panel4") << "Panel4" << QRect(11, 2, 105, 22);
    QTest::newRow("Panel5") << "Panel5" << QRect(130, 2, 157, 22);
    QTest::newRow("ScrollBox2") << "ScrollBox2" << QRect(0, 32, 395, 409);
    QTest::newRow("Panel6") << "Panel6" << QRect(402, 32, 43, 409);
    QTest::newRow("ScrollBox1") << "ScrollBox1" << QRect(442, 32, 395, 409);
    QTest::newRow("TabbedNotebook1") << "TabbedNotebook1" << QRect(2, 464, 796, 65);
    QTest::newRow("Panel3") << "Panel3" << QRect(192, 99, 425, 337);
    QTest::newRow("Image1") << "Image1" << QRect(0, 0, 386, 400);
    QTest::newRow("Image2") << "Image2" << QRect(0, 0, 386, 400);
    QTest::newRow("Image3") << "Image3" << QRect(16, 12, 32, 32);
}

void TestMainWindow::frames() {
    QFETCH(QString, name);
    TMyPicture w;
    QTEST(child<QWidget>(&w, name)->geometry(), "geometry");
}

void TestMainWindow::toolButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("strip");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("1") << "SpeedButton1" << "Panel4" << "Open a picture" << QPoint(2, 0);
    QTest::newRow("2") << "SpeedButton2" << "Panel4" << "Save as a new picture" << QPoint(27, 0);
    QTest::newRow("3") << "SpeedButton3" << "Panel4" << "Cancel one operate" << QPoint(52, 0);
    QTest::newRow("4") << "SpeedButton4" << "Panel4" << "Renew" << QPoint(77, 0);
    QTest::newRow("5") << "SpeedButton5" << "Panel5" << "Zoom out" << QPoint(3, 0);
    QTest::newRow("6") << "SpeedButton6" << "Panel5" << "Zoom in" << QPoint(28, 0);
    QTest::newRow("7") << "SpeedButton7" << "Panel5" << "View the full screen" << QPoint(53, 0);
    QTest::newRow("8") << "SpeedButton8" << "Panel5" << "Color tools panel" << QPoint(78, 0);
    QTest::newRow("9") << "SpeedButton9" << "Panel5" << "B&W tools panel" << QPoint(103, 0);
    QTest::newRow("10") << "SpeedButton10" << "Panel5" << "Online" << QPoint(128, 0);
    QTest::newRow("16") << "SpeedButton16" << "Panel6" << "Give the image to the left area" << QPoint(8, 150);
    QTest::newRow("17") << "SpeedButton17" << "Panel6" << "Get the image from the left area" << QPoint(8, 210);
    QTest::newRow("13") << "SpeedButton13" << "FreehandPage" << "Select a area" << QPoint(8, 8);
    QTest::newRow("14") << "SpeedButton14" << "FreehandPage" << "Brush to scrawl the not empty area" << QPoint(40, 8);
    QTest::newRow("12") << "SpeedButton12" << "FreehandPage" << "Pen to scrawl anywhere" << QPoint(72, 8);
    QTest::newRow("15") << "SpeedButton15" << "FreehandPage" << "Rubber to clear" << QPoint(104, 8);
    QTest::newRow("11") << "SpeedButton11" << "FreehandPage" << "Pick a color from the photo" << QPoint(136, 8);
}

void TestMainWindow::toolButtons() {
    QFETCH(QString, name);
    TMyPicture w;
    auto* b = child<QToolButton>(&w, name);
    QTEST(b->parentWidget()->objectName(), "strip");
    QTEST(b->toolTip(), "tooltip");
    QTEST(b->pos(), "at");
    QCOMPARE(b->size(), QSize(25, 21));
    QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    QVERIFY(b->isCheckable());
    QVERIFY(!b->isChecked());
    const QPixmap pic = b->icon().pixmap(QSize(24, 20));
    QCOMPARE(pic.size(), QSize(24, 20));
    // A picture, not a blank: more than two colours in it.
    const QImage img = pic.toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) colours.insert(img.pixel(x, y));
    QVERIFY(colours.size() > 2);
}

void TestMainWindow::pageButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    auto color = [](const char* n, int left, const char* caption, const char* tip) {
        QTest::newRow(n) << n << "ColorPage" << QRect(left, 10, 60, 17) << caption << tip;
    };
    color("Button9", 8, "Fringe 1", "The first speedy way to hueline");
    color("Button13", 72, "Fringe 2", "The second speedy way to hueline");
    color("Button12", 136, "Fringe 3", "The third speedy way to hueline");
    color("Button16", 440, "Inverse", "Inverse the color");
    color("Button18", 504, "Sharpen", "Sharpen");
    color("Button19", 568, "Median", "Soften");
    color("Button3", 648, "Undo", "");
    color("Button6", 712, "Renew", "");
    auto bw = [](const char* n, int left, const char* caption, const char* tip, int width = 50) {
        QTest::newRow(n) << n << "BwPage" << QRect(left, 8, width, 17) << caption << tip;
    };
    bw("Button20", 222, "Gray", "Make gray picture", 46);
    bw("Button1", 274, "B&&W", "Make B&W picture, looks like woodcut");
    bw("Button5", 330, "Pen", "Make pen-and-ink picture");
    bw("Button8", 386, "Thin", "Thin the line");
    bw("Button2", 466, "Erode", "Erode the pels");
    bw("Button4", 522, "Dilate", "Dilate the pels");
    bw("Button10", 600, "Undo", "");
    bw("Button7", 656, "Renew", "");
}

void TestMainWindow::pageButtons() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    TMyPicture w;
    auto* b = child<QPushButton>(&w, name);
    QTEST(b->parentWidget()->objectName(), "page");
    QTEST(b->geometry(), "geometry");
    QCOMPARE(b->text(), caption);
    QTEST(b->toolTip(), "tooltip");
    // "&&" is a literal ampersand: no button gains a keyboard accelerator.
    QVERIFY(QKeySequence::mnemonic(b->text()).isEmpty());
}

void TestMainWindow::pagesAndSliders() {
    TMyPicture w;
    QTabWidget* tabs = w.TabbedNotebook1;
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Color"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("B&&W"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Freehand"));
    for (int i = 0; i < 3; ++i) QVERIFY(QKeySequence::mnemonic(tabs->tabText(i)).isEmpty());
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("ColorPage"));
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("BwPage"));
    QCOMPARE(tabs->widget(2)->objectName(), QStringLiteral("FreehandPage"));

    struct { QSlider* s; int left, width; const char* page; } sliders[] = {
        {w.TrackBar2, 256, 150, "ColorPage"}, {w.TrackBar1, 56, 113, "BwPage"}};
    for (const auto& e : sliders) {
        QCOMPARE(e.s->parentWidget()->objectName(), QString::fromLatin1(e.page));
        QCOMPARE(e.s->orientation(), Qt::Horizontal);
        QCOMPARE(e.s->minimum(), 0);
        QCOMPARE(e.s->maximum(), 255);
        QCOMPARE(e.s->singleStep(), 1);
        // Ticks at least 5 pixels apart, so they read as ticks.
        QVERIFY(e.s->tickInterval() * e.width / 255 >= 5);
        QCOMPARE(e.s->tickPosition(), QSlider::TicksBelow);
        QCOMPARE(e.s->value(), 125);
        QCOMPARE(e.s->x(), e.left);
        QCOMPARE(e.s->width(), e.width);
    }
    QCOMPARE(w.ColorPanel->parentWidget()->objectName(), QStringLiteral("FreehandPage"));
    QCOMPARE(w.ColorPanel->pos(), QPoint(168, 8));
    QCOMPARE(w.ColorPanel->toolTip(), QStringLiteral("Select a color from ColorPanel"));
    QCOMPARE(w.ColorPanel->palette().color(QPalette::Window), QColor(Qt::black));
}

void TestMainWindow::labels() {
    TMyPicture w;
    struct { const char* name; const char* text; QPoint at; } rows[] = {
        {"Label1", "New picture", {409, 448}}, {"Label18", "125", {404, 12}}, {"Label9", "125", {168, 10}}};
    for (const auto& r : rows) {
        auto* l = child<QLabel>(&w, r.name);
        QCOMPARE(l->text(), QString::fromLatin1(r.text));
        QCOMPARE(l->pos(), r.at);
    }
    // The sliders' captions end left of their sliders, their whole text
    // inside, in whatever font the system gives.
    struct { QLabel* caption; const char* text; int left; QSlider* slider; } captions[] = {
        {w.Label17, "Color Split", 208, w.TrackBar2}, {w.Label8, "B&W Split", 4, w.TrackBar1}};
    for (const auto& c : captions) {
        QCOMPARE(c.caption->text(), QString::fromLatin1(c.text));
        QCOMPARE(c.caption->x(), c.left);
        QVERIFY(c.caption->geometry().right() < c.slider->x());
        QVERIFY(c.caption->heightForWidth(c.caption->width()) <= c.caption->height());
    }
    // The status label is drawn in medium gray.
    QCOMPARE(w.Label1->palette().color(QPalette::WindowText), QColor(128, 128, 128));
}

void TestMainWindow::menus() {
    TMyPicture w;
    const QList<QAction*> top = w.MainMenu1->actions();
    QStringList titles;
    for (QAction* a : top) titles << a->text();
    QCOMPARE(titles, (QStringList{"File", "Edit", "Panel", "Help"}));
    const QList<QStringList> items = {{"Open1:Open", "Save1:Save", "PrintPreview1:Print Preview", "Print1:Print", "Exit1:Exit"},
                                      {"Undo1:Undo", "Renew1:Renew"},
                                      {"QuickPanel1:Color Tools", "woValue1:B&&W Tools"},
                                      {"Online1:Online", "About1:About"}};
    for (int m = 0; m < 4; ++m) {
        QStringList got;
        for (QAction* a : top[m]->menu()->actions()) {
            got << a->objectName() + ":" + a->text();
            QVERIFY(QKeySequence::mnemonic(a->text()).isEmpty());
        }
        QCOMPARE(got, items[m]);
    }
    QCOMPARE(w.Open1->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(w.Undo1->shortcut(), QKeySequence(QKeySequence::Undo));
    QCOMPARE(w.Print1->shortcut(), QKeySequence(QKeySequence::Print));
}

void TestMainWindow::radioGroups() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.SpeedButton3, Qt::LeftButton);
    QVERIFY(w.SpeedButton3->isChecked());
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QVERIFY(w.SpeedButton4->isChecked());
    QVERIFY(!w.SpeedButton3->isChecked());
    // Clicking the pressed button again keeps it pressed.
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QVERIFY(w.SpeedButton4->isChecked());
    // Strips are separate groups.
    QTest::mouseClick(w.SpeedButton9, Qt::LeftButton);
    QVERIFY(w.SpeedButton9->isChecked());
    QVERIFY(w.SpeedButton4->isChecked());
    QTest::mouseClick(w.SpeedButton8, Qt::LeftButton);
    QVERIFY(w.SpeedButton8->isChecked() && !w.SpeedButton9->isChecked());
    QTest::mouseClick(w.SpeedButton16, Qt::LeftButton);
    QTest::mouseClick(w.SpeedButton17, Qt::LeftButton);
    QVERIFY(w.SpeedButton17->isChecked() && !w.SpeedButton16->isChecked());
    QVERIFY(w.SpeedButton8->isChecked() && w.SpeedButton4->isChecked());
    w.TabbedNotebook1->setCurrentIndex(2);
    QTest::mouseClick(w.SpeedButton13, Qt::LeftButton);
    QTest::mouseClick(w.SpeedButton12, Qt::LeftButton);
    QVERIFY(w.SpeedButton12->isChecked() && !w.SpeedButton13->isChecked());
    QVERIFY(w.SpeedButton17->isChecked());
}

void TestMainWindow::pageSwitching() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.SpeedButton9, Qt::LeftButton);
    QCOMPARE(w.TabbedNotebook1->currentIndex(), 1);
    QTest::mouseClick(w.SpeedButton9, Qt::LeftButton);
    QCOMPARE(w.TabbedNotebook1->currentIndex(), 1);
    QTest::mouseClick(w.SpeedButton8, Qt::LeftButton);
    QCOMPARE(w.TabbedNotebook1->currentIndex(), 0);
    w.woValue1->trigger();
    QCOMPARE(w.TabbedNotebook1->currentIndex(), 1);
    w.TabbedNotebook1->setCurrentIndex(2);
    w.QuickPanel1->trigger();
    QCOMPARE(w.TabbedNotebook1->currentIndex(), 0);
}

void TestMainWindow::aboutPanel() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.Panel3->isVisible());
    w.About1->trigger();
    QVERIFY(w.Panel3->isVisible());
    const QString text = w.Memo1->toPlainText();
    for (const char* needed : {"Hueline", "2.5", "The Hueline developers", "https://hueline.example.org/",
                               "https://hueline.example.org/support", "webmaster@hueline.example.org",
                               "support@hueline.example.org", "sales@hueline.example.org"})
        QVERIFY2(text.contains(QString::fromLatin1(needed)), needed);
    QVERIFY(w.Memo1->isReadOnly());
    QCOMPARE(w.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(!w.Image3->pixmap().isNull());
    QVERIFY(w.Label7->text().contains("hueline.example.org"));
    // "X", 17 x 17 in the panel's top-right corner.
    QCOMPARE(w.Button17->text(), QStringLiteral("X"));
    QCOMPARE(w.Button17->size(), QSize(17, 17));
    QVERIFY(w.Button17->geometry().right() >= w.Panel3->width() - 8);
    QVERIFY(w.Button17->y() < 8);
    // About again leaves it shown; X hides it; About shows the same text.
    w.About1->trigger();
    QVERIFY(w.Panel3->isVisible());
    QTest::mouseClick(w.Button17, Qt::LeftButton);
    QVERIFY(!w.Panel3->isVisible());
    w.About1->trigger();
    QTest::keyClick(w.Memo1, Qt::Key_Escape);  // Escape closes it too
    QVERIFY(!w.Panel3->isVisible());
    w.About1->trigger();
    QVERIFY(w.Panel3->isVisible());
    QCOMPARE(w.Memo1->toPlainText(), text);
    // The panel lies over the panes.
    QWidget* top = w.centralWidget()->childAt(w.Panel3->geometry().center());
    QVERIFY(top == w.Panel3 || w.Panel3->isAncestorOf(top));
}

void TestMainWindow::online() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    w.Online1->trigger();
    QTest::mouseClick(w.SpeedButton10, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.opened, (QList<QUrl>{QUrl("https://hueline.example.org/"), QUrl("https://hueline.example.org/")}));
    QCOMPARE(w.workspace().status(), std::string("New picture"));
}

void TestMainWindow::commandsFromButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("changes");
    QTest::newRow("B&W") << "Button1" << 1 << "Black and white" << true;
    QTest::newRow("Pen") << "Button5" << 1 << "Pen and ink" << true;
    // Thin works on black and white only; the colour sample stays.
    QTest::newRow("Thin") << "Button8" << 1 << "Thinned" << false;
    QTest::newRow("Erode") << "Button2" << 1 << "Eroded" << true;
    QTest::newRow("Dilate") << "Button4" << 1 << "Dilated" << true;
    QTest::newRow("Gray") << "Button20" << 1 << "New picture" << true;
    QTest::newRow("Inverse") << "Button16" << 0 << "Inversed" << true;
    QTest::newRow("Sharpen") << "Button18" << 0 << "Sharpenned" << true;
    QTest::newRow("Median") << "Button19" << 0 << "Median" << true;
}

// Each command button runs its command: the status word and a changed
// result pane, with the picture before it kept for Undo.
void TestMainWindow::commandsFromButtons() {
    QFETCH(QString, button);
    QFETCH(int, page);
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.TabbedNotebook1->setCurrentIndex(page);
    const WorkBitmap sample = w.workspace().resultPane();
    QTest::mouseClick(child<QPushButton>(&w, button), Qt::LeftButton);
    QTEST(w.Label1->text(), "status");
    QFETCH(bool, changes);
    QCOMPARE(!(w.workspace().resultPane() == sample), changes);
    QVERIFY(w.workspace().undoPicture() == sample);
    QVERIFY(w.Image1->picture() == w.workspace().resultPane());
}

void TestMainWindow::historyFromEveryControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("renew");
    QTest::newRow("SpeedButton3") << "SpeedButton3" << false;
    QTest::newRow("Button3") << "Button3" << false;
    QTest::newRow("Button10") << "Button10" << false;
    QTest::newRow("Undo1") << "Undo1" << false;
    QTest::newRow("SpeedButton4") << "SpeedButton4" << true;
    QTest::newRow("Button6") << "Button6" << true;
    QTest::newRow("Button7") << "Button7" << true;
    QTest::newRow("Renew1") << "Renew1" << true;
}

// Undo and Renew from every control bound to them.
void TestMainWindow::historyFromEveryControl() {
    QFETCH(QString, control);
    QFETCH(bool, renew);
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const WorkBitmap sample = w.workspace().resultPane();
    w.Button1Click();
    w.Button20Click();  // Gray after B&W: Undo goes back to B&W, Renew to the sample
    const WorkBitmap bw = w.workspace().undoPicture();
    if (auto* a = w.findChild<QAction*>(control)) {
        a->trigger();
    } else {
        auto* b = child<QAbstractButton>(&w, control);
        b->window()->show();
        if (auto* tabs = w.TabbedNotebook1; tabs->isAncestorOf(b))
            tabs->setCurrentWidget(b->parentWidget());
        QTest::mouseClick(b, Qt::LeftButton);
    }
    if (renew) {
        QVERIFY(w.workspace().resultPane() == sample);
        QCOMPARE(w.Label1->text(), QStringLiteral("Renewed"));
    } else {
        QVERIFY(w.workspace().resultPane() == bw);
        QCOMPARE(w.Label1->text(), QStringLiteral("Black and white"));
    }
}

// After Sharpen the Color Split works on the sharpened picture; the two
// sliders do not build on each other's output.
void TestMainWindow::colorSplitSlider() {
    TMyPicture w;
    const Workspace& ws = w.workspace();
    QTest::mouseClick(w.Button18, Qt::LeftButton);
    const WorkBitmap sharpened = ws.resultPane();
    w.TrackBar2->setValue(90);
    QVERIFY(ws.resultPane() == colorSplitPicture(sharpened, 90));
    QCOMPARE(w.Label18->text(), QStringLiteral("90"));
    QCOMPARE(w.Label9->text(), QStringLiteral("125"));
    QCOMPARE(w.Label1->text(), QStringLiteral("Sharpenned"));
    w.TrackBar1->setValue(40);
    QVERIFY(ws.resultPane() == bwSplitPicture(sharpened, 40));
    w.SpeedButton3Click();
    QVERIFY(ws.resultPane() == sharpened);
}

void TestMainWindow::exitReleasesAndCloses() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.Button9, Qt::LeftButton);
    w.Exit1->trigger();
    QVERIFY(!w.isVisible());
    QVERIFY(!w.FormOfFringe1->isVisible());
    const Workspace& ws = w.workspace();
    QVERIFY(ws.resultPane().empty() && ws.sourcePane().empty() && ws.originalPicture().empty());
    QVERIFY(ws.undoPicture().empty() && ws.sourceSnapshot().empty() && ws.resultSnapshot().empty());
    QVERIFY(w.Image1->picture().empty() && w.Image2->picture().empty());
}

void TestMainWindow::closingEndsLikeExit() {
    TMyPicture w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.close());
    QVERIFY(w.workspace().resultPane().empty());
    QVERIFY(w.workspace().originalPicture().empty());
}

// Every command, zoom, Undo and Renew holds the busy cursor while it
// changes the result pane.
void TestMainWindow::workShowsTheBusyCursor() {
    TMyPicture w;
    std::vector<Qt::CursorShape> seen;
    w.workspace().setListener([&](Workspace::Change c) {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        if (c == Workspace::Change::ResultPane) seen.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
    });
    const std::vector<void (TMyPicture::*)()> work = {
        &TMyPicture::Button20Click, &TMyPicture::Button1Click,      &TMyPicture::Button5Click,
        &TMyPicture::Button8Click,  &TMyPicture::Button2Click,      &TMyPicture::Button4Click,
        &TMyPicture::Button16Click, &TMyPicture::Button18Click,     &TMyPicture::Button19Click,
        &TMyPicture::woValue1Click, &TMyPicture::TrackBar2Change,   &TMyPicture::SpeedButton5Click,
        &TMyPicture::SpeedButton6Click, &TMyPicture::SpeedButton3Click, &TMyPicture::SpeedButton4Click,
        &TMyPicture::SpeedButton17Click};
    for (auto handler : work) (w.*handler)();
    w.FormOfFringe1->Button1Click();
    QCOMPARE(seen.size(), work.size() + 1);
    for (std::size_t i = 0; i < seen.size(); ++i) QVERIFY2(seen[i] == Qt::WaitCursor, qPrintable(QString::number(i)));
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
