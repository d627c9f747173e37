// SPDX-License-Identifier: GPL-3.0-or-later
// Building the main window, start-up and shut-down, and the handlers that
// belong to the shell itself: pages, About, Online, Exit, and the history
// and pane buttons.
#include "app/huelinemain.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCompleter>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>

#include <span>

#include "app/busy_cursor.h"
#include "app/button_art.h"
#include "app/design.h"
#include "app/fringe1.h"
#include "app/fringe2.h"
#include "app/fringe3.h"
#include "app/messages.h"
#include "app/picture_pane.h"
#include "hueline_version.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"

// The resources live in a static library; the linker keeps them only when
// something asks for them by name.
static void initHuelineResources() { Q_INIT_RESOURCE(hueline); }

namespace hueline::app {

namespace {

// The design-time layout, in pixels of the client area.
constexpr QPoint kDesignPosition(15, 27);
constexpr QSize kDesignSize(854, 586);
constexpr QSize kToolButtonSize(25, 21);
constexpr int kSliderStart = 125;
constexpr int kSliderTickInterval = 16;

QToolButton* makeToolButton(QWidget* parent, const char* name, const char* hint, ButtonArt art, QPoint at) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    b->setIcon(QIcon(buttonPicture(art)));
    b->setIconSize(QSize(kButtonArtWidth, kButtonArtHeight));
    b->setGeometry(QRect(at, kToolButtonSize));
    b->setFocusPolicy(Qt::NoFocus);
    b->setCheckable(true);
    b->setAutoRaise(true);
    return b;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, const char* hint, QRect geometry) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    if (hint) b->setToolTip(QString::fromLatin1(hint));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* text, QPoint at, int width = -1) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(at);
    if (width > 0)
        l->resize(width, l->sizeHint().height());
    else
        l->adjustSize();
    return l;
}

QSlider* makeSlider(QWidget* parent, const char* name, QRect geometry) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(0, 255);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBelow);
    // A tick at every step would draw 256 lines in 150 pixels, a solid bar.
    s->setTickInterval(kSliderTickInterval);
    s->setValue(kSliderStart);
    s->setGeometry(geometry);
    return s;
}

// A slider's caption, right-aligned in the room left of the slider and
// wrapped when it does not fit there, so that it never runs under it.
QLabel* makeSliderCaption(QWidget* parent, const char* name, const char* text, int left, const QSlider* slider) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setGeometry(left, slider->y(), slider->x() - 4 - left, slider->height());
    return l;
}

QButtonGroup* radioGroup(QObject* owner, std::initializer_list<QAbstractButton*> buttons) {
    auto* g = new QButtonGroup(owner);
    g->setExclusive(true);
    for (QAbstractButton* b : buttons) g->addButton(b);
    return g;
}

// The program's icon: the artwork the desktop menu shows, drawn at any size.
QIcon programIcon() { return QIcon(QStringLiteral(":/hueline.svg")); }

// The sample picture that the result pane holds when the window is built.
WorkBitmap samplePicture() {
    QFile f(QStringLiteral(":/sample.bmp"));
    if (!f.open(QIODevice::ReadOnly)) throw FileError("sample.bmp", "the program's sample picture is missing");
    const QByteArray bytes = f.readAll();
    return decodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
                     "sample.bmp");
}

const char* const kAboutText =
    "Hueline\n"
    "Version " HUELINE_VERSION_SHORT "\n"
    "Author: The Hueline developers\n"
    "Release date: " HUELINE_RELEASE_DAY "\n"
    "Publisher: The Hueline developers\n"
    "\n"
    "Web site: https://hueline.example.org/\n"
    "Support: https://hueline.example.org/support\n"
    "\n"
    "Webmaster: webmaster@hueline.example.org\n"
    "Technical support: support@hueline.example.org\n"
    "Sales: sales@hueline.example.org\n";

}  // namespace

TMyPicture::TMyPicture(QWidget* parent) : QMainWindow(parent) {
    initHuelineResources();
    setObjectName(QStringLiteral("MyPicture"));
    setWindowTitle(QStringLiteral("Hueline v" HUELINE_VERSION_SHORT));
    setWindowIcon(programIcon());
    setFont(designFont());
    setAcceptDrops(true);

    central_ = new QWidget(this);
    central_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central_);

    buildMenu();
    buildToolBar();
    buildPanes();
    buildNotebook();
    buildAboutPanel();
    buildDialogs();

    // Small enough for any screen, large enough that the layout rule keeps
    // every width and position positive.
    setMinimumSize(320, 300);
    resize(kDesignSize);
    move(kDesignPosition);

    FormCreate();
    createFringeDialogs();
    setMessageOwner(this);
}

TMyPicture::~TMyPicture() {
    // The controls outlive the workspace by a moment (Qt deletes children
    // after the members); nothing they report may reach it then.
    ws_.setListener(nullptr);
    setMessageOwner(nullptr);
    holdCommands(false);
    Image1->disconnect(this);
    Image2->disconnect(this);
}

void TMyPicture::buildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const char* caption, auto handler) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    // Captions carry no "&" accelerator; "B&&W" shows as "B&W".
    QMenu* file = MainMenu1->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    Open1 = item(file, "Open1", "Open", &TMyPicture::SpeedButton1Click);
    Save1 = item(file, "Save1", "Save", &TMyPicture::SpeedButton2Click);
    PrintPreview1 = item(file, "PrintPreview1", "Print Preview", &TMyPicture::PrintPreview1Click);
    Print1 = item(file, "Print1", "Print", &TMyPicture::Print1Click);
    Exit1 = item(file, "Exit1", "Exit", &TMyPicture::Exit1Click);
    QMenu* edit = MainMenu1->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    Undo1 = item(edit, "Undo1", "Undo", &TMyPicture::SpeedButton3Click);
    Renew1 = item(edit, "Renew1", "Renew", &TMyPicture::SpeedButton4Click);
    QMenu* panel = MainMenu1->addMenu(QStringLiteral("Panel"));
    panel->setObjectName(QStringLiteral("PanelMenu"));
    QuickPanel1 = item(panel, "QuickPanel1", "Color Tools", &TMyPicture::SpeedButton8Click);
    woValue1 = item(panel, "woValue1", "B&&W Tools", &TMyPicture::SpeedButton9Click);
    QMenu* help = MainMenu1->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    Online1 = item(help, "Online1", "Online", &TMyPicture::Online1Click);
    About1 = item(help, "About1", "About", &TMyPicture::About1Click);

    Open1->setShortcut(QKeySequence::Open);
    Save1->setShortcut(QKeySequence::Save);
    Print1->setShortcut(QKeySequence::Print);
    Exit1->setShortcut(QKeySequence::Quit);
    Undo1->setShortcut(QKeySequence::Undo);
}

void TMyPicture::buildToolBar() {
    ControlBar1 = new QFrame(central_);
    ControlBar1->setObjectName(QStringLiteral("ControlBar1"));
    ControlBar1->setGeometry(0, 0, 797, 30);
    ControlBar1->setFrameShape(QFrame::StyledPanel);
    ControlBar1->setFrameShadow(QFrame::Raised);

    Panel4 = new QFrame(ControlBar1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry(11, 2, 105, 22);
    SpeedButton1 = makeToolButton(Panel4, "SpeedButton1", "Open a picture", ButtonArt::Open, {2, 0});
    SpeedButton2 = makeToolButton(Panel4, "SpeedButton2", "Save as a new picture", ButtonArt::Save, {27, 0});
    SpeedButton3 = makeToolButton(Panel4, "SpeedButton3", "Cancel one operate", ButtonArt::Undo, {52, 0});
    SpeedButton4 = makeToolButton(Panel4, "SpeedButton4", "Renew", ButtonArt::Renew, {77, 0});
    panel4Group_ = radioGroup(this, {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4});

    Panel5 = new QFrame(ControlBar1);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setGeometry(130, 2, 157, 22);
    SpeedButton5 = makeToolButton(Panel5, "SpeedButton5", "Zoom out", ButtonArt::ZoomOut, {3, 0});
    SpeedButton6 = makeToolButton(Panel5, "SpeedButton6", "Zoom in", ButtonArt::ZoomIn, {28, 0});
    SpeedButton7 = makeToolButton(Panel5, "SpeedButton7", "View the full screen", ButtonArt::FullView, {53, 0});
    SpeedButton8 = makeToolButton(Panel5, "SpeedButton8", "Color tools panel", ButtonArt::ColorTools, {78, 0});
    SpeedButton9 = makeToolButton(Panel5, "SpeedButton9", "B&W tools panel", ButtonArt::BwTools, {103, 0});
    SpeedButton10 = makeToolButton(Panel5, "SpeedButton10", "Online", ButtonArt::Online, {128, 0});
    panel5Group_ =
        radioGroup(this, {SpeedButton5, SpeedButton6, SpeedButton7, SpeedButton8, SpeedButton9, SpeedButton10});

    // Print, a strip of its own after the others; one button, so it pops
    // up again after its click.
    Panel7 = new QFrame(ControlBar1);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->setGeometry(301, 2, 30, 22);
    SpeedButton18 = makeToolButton(Panel7, "SpeedButton18", "Print the result", ButtonArt::Print, {3, 0});
    SpeedButton18->setCheckable(false);
    connect(SpeedButton18, &QToolButton::clicked, this, &TMyPicture::Print1Click);

    connect(SpeedButton1, &QToolButton::clicked, this, &TMyPicture::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TMyPicture::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TMyPicture::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TMyPicture::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TMyPicture::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TMyPicture::SpeedButton6Click);
    // The preview acts while the button is held, with any mouse button.
    SpeedButton7->installEventFilter(this);
    connect(SpeedButton8, &QToolButton::clicked, this, &TMyPicture::SpeedButton8Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TMyPicture::SpeedButton9Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TMyPicture::Online1Click);
}

void TMyPicture::buildPanes() {
    auto makeBox = [this](const char* boxName, const char* imageName, QRect geometry, PicturePane*& image) {
        auto* box = new QScrollArea(central_);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setGeometry(geometry);
        box->setWidgetResizable(false);
        box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        image = new PicturePane;
        image->setObjectName(QString::fromLatin1(imageName));
        image->resize(386, 400);
        box->setWidget(image);
        return box;
    };
    ScrollBox2 = makeBox("ScrollBox2", "Image2", QRect(0, 32, 395, 409), Image2);

    Panel6 = new QFrame(central_);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    Panel6->setGeometry(402, 32, 43, 409);
    SpeedButton16 = makeToolButton(Panel6, "SpeedButton16", "Give the image to the left area", ButtonArt::Give, {8, 150});
    SpeedButton17 = makeToolButton(Panel6, "SpeedButton17", "Get the image from the left area", ButtonArt::Get, {8, 210});
    panel6Group_ = radioGroup(this, {SpeedButton16, SpeedButton17});
    connect(SpeedButton16, &QToolButton::clicked, this, &TMyPicture::SpeedButton16Click);
    connect(SpeedButton17, &QToolButton::clicked, this, &TMyPicture::SpeedButton17Click);

    ScrollBox1 = makeBox("ScrollBox1", "Image1", QRect(442, 32, 395, 409), Image1);

    Label1 = makeLabel(central_, "Label1", status::kNewPicture, {409, 448}, 380);
    QPalette gray = Label1->palette();
    gray.setColor(QPalette::WindowText, QColor(128, 128, 128));
    Label1->setPalette(gray);

    // The eyedropper works on the source pane, strokes on the result pane.
    connect(Image2, &PicturePane::mousePressed, this, &TMyPicture::Image2MouseDown);
    connect(Image2, &PicturePane::mouseMoved, this, [this](Qt::MouseButtons, QPoint p) { Image2MouseMove(p); });
    connect(Image2, &PicturePane::mouseReleased, this, &TMyPicture::Image2MouseUp);
    connect(Image1, &PicturePane::mousePressed, this, [this](Qt::MouseButton button, QPoint p) {
        if (button != Qt::LeftButton || strokeInProgress()) return;
        Image1StartDrag();
        Image1DragOver(p);
    });
    connect(Image1, &PicturePane::mouseMoved, this, [this](Qt::MouseButtons buttons, QPoint p) {
        // Only positions over the part of the picture on the screen reach
        // the stroke: the mouse is held by the pane, and a stamp under the
        // scroll bar or the notebook would paint where nobody sees it.
        if ((buttons & Qt::LeftButton) && overVisibleResult(p)) Image1DragOver(p);
    });
    connect(Image1, &PicturePane::mouseReleased, this, [this](Qt::MouseButton button, QPoint) {
        if (button == Qt::LeftButton) Image1EndDrag();
    });
    connect(Image1, &PicturePane::gestureCancelled, this, &TMyPicture::Image1EndDrag);
}

namespace {

// A button of the tool pages: where it goes, what it says and what it does.
struct PageButton {
    int page;  // 0 "Color", 1 "B&W"
    QPushButton* TMyPicture::*field;
    const char* name;
    const char* caption;
    const char* hint;
    QRect geometry;
    void (TMyPicture::*handler)();
};

// "Color": buttons 60 x 17 at top 10. "B&W": buttons 50 x 17 at top 8,
// Gray 46 x 17. Undo and Renew on both pages are the tool bar's.
const PageButton kPageButtons[] = {
    {0, &TMyPicture::Button9, "Button9", "Fringe 1", "The first speedy way to hueline", {8, 10, 60, 17},
     &TMyPicture::Button9Click},
    {0, &TMyPicture::Button13, "Button13", "Fringe 2", "The second speedy way to hueline", {72, 10, 60, 17},
     &TMyPicture::Button13Click},
    {0, &TMyPicture::Button12, "Button12", "Fringe 3", "The third speedy way to hueline", {136, 10, 60, 17},
     &TMyPicture::Button12Click},
    {0, &TMyPicture::Button16, "Button16", "Inverse", "Inverse the color", {440, 10, 60, 17},
     &TMyPicture::Button16Click},
    {0, &TMyPicture::Button18, "Button18", "Sharpen", "Sharpen", {504, 10, 60, 17}, &TMyPicture::Button18Click},
    {0, &TMyPicture::Button19, "Button19", "Median", "Soften", {568, 10, 60, 17}, &TMyPicture::Button19Click},
    {0, &TMyPicture::Button3, "Button3", "Undo", nullptr, {648, 10, 60, 17}, &TMyPicture::SpeedButton3Click},
    {0, &TMyPicture::Button6, "Button6", "Renew", nullptr, {712, 10, 60, 17}, &TMyPicture::SpeedButton4Click},
    {1, &TMyPicture::Button20, "Button20", "Gray", "Make gray picture", {222, 8, 46, 17}, &TMyPicture::Button20Click},
    {1, &TMyPicture::Button1, "Button1", "B&&W", "Make B&W picture, looks like woodcut", {274, 8, 50, 17},
     &TMyPicture::Button1Click},
    {1, &TMyPicture::Button5, "Button5", "Pen", "Make pen-and-ink picture", {330, 8, 50, 17},
     &TMyPicture::Button5Click},
    {1, &TMyPicture::Button8, "Button8", "Thin", "Thin the line", {386, 8, 50, 17}, &TMyPicture::Button8Click},
    {1, &TMyPicture::Button2, "Button2", "Erode", "Erode the pels", {466, 8, 50, 17}, &TMyPicture::Button2Click},
    {1, &TMyPicture::Button4, "Button4", "Dilate", "Dilate the pels", {522, 8, 50, 17}, &TMyPicture::Button4Click},
    {1, &TMyPicture::Button10, "Button10", "Undo", nullptr, {600, 8, 50, 17}, &TMyPicture::SpeedButton3Click},
    {1, &TMyPicture::Button7, "Button7", "Renew", nullptr, {656, 8, 50, 17}, &TMyPicture::SpeedButton4Click},
};

// The tools of the "Freehand" page, 25 x 21 at top 8.
struct PageTool {
    QToolButton* TMyPicture::*field;
    const char* name;
    const char* hint;
    ButtonArt art;
    int left;
    void (TMyPicture::*handler)();
};

const PageTool kFreehandTools[] = {
    {&TMyPicture::SpeedButton13, "SpeedButton13", "Select a area", ButtonArt::Select, 8,
     &TMyPicture::SpeedButton13Click},
    {&TMyPicture::SpeedButton14, "SpeedButton14", "Brush to scrawl the not empty area", ButtonArt::Brush, 40,
     &TMyPicture::SpeedButton14Click},
    {&TMyPicture::SpeedButton12, "SpeedButton12", "Pen to scrawl anywhere", ButtonArt::Pen, 72,
     &TMyPicture::SpeedButton12Click},
    {&TMyPicture::SpeedButton15, "SpeedButton15", "Rubber to clear", ButtonArt::Rubber, 104,
     &TMyPicture::SpeedButton15Click},
    {&TMyPicture::SpeedButton11, "SpeedButton11", "Pick a color from the photo", ButtonArt::Pick, 136,
     &TMyPicture::SpeedButton11Click},
};

QWidget* makePage(const char* name) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    return page;
}

}  // namespace

void TMyPicture::buildNotebook() {
    TabbedNotebook1 = new QTabWidget(central_);
    TabbedNotebook1->setObjectName(QStringLiteral("TabbedNotebook1"));
    TabbedNotebook1->setGeometry(2, 464, 796, 65);
    TabbedNotebook1->setFocusPolicy(Qt::NoFocus);

    QWidget* const pages[] = {makePage("ColorPage"), makePage("BwPage"), makePage("FreehandPage")};
    buildSliders(pages[0], pages[1]);
    for (const PageButton& b : kPageButtons) {
        QPushButton* button = makeButton(pages[b.page], b.name, b.caption, b.hint, b.geometry);
        this->*b.field = button;
        connect(button, &QPushButton::clicked, this, b.handler);
    }
    // The "Color" page's slider lies between Fringe 3 and Inverse, also in
    // the tab order; the "B&W" page's comes first.
    QWidget::setTabOrder(Button12, TrackBar2);
    buildFreehandPage(pages[2]);
    TabbedNotebook1->addTab(pages[0], QStringLiteral("Color"));
    TabbedNotebook1->addTab(pages[1], QStringLiteral("B&&W"));
    TabbedNotebook1->addTab(pages[2], QStringLiteral("Freehand"));
    TabbedNotebook1->setCurrentIndex(0);
}

// Each slider with its caption and the number beside it.
void TMyPicture::buildSliders(QWidget* color, QWidget* bw) {
    TrackBar2 = makeSlider(color, "TrackBar2", QRect(256, 2, 150, 28));
    Label17 = makeSliderCaption(color, "Label17", "Color Split", 208, TrackBar2);
    Label18 = makeLabel(color, "Label18", "125", {404, 12}, 24);
    connect(TrackBar2, &QSlider::valueChanged, this, &TMyPicture::TrackBar2Change);

    TrackBar1 = makeSlider(bw, "TrackBar1", QRect(56, 2, 113, 28));
    Label8 = makeSliderCaption(bw, "Label8", "B&W Split", 4, TrackBar1);
    Label9 = makeLabel(bw, "Label9", "125", {168, 10}, 24);
    connect(TrackBar1, &QSlider::valueChanged, this, &TMyPicture::TrackBar1Change);
}

void TMyPicture::buildFreehandPage(QWidget* hand) {
    for (const PageTool& t : kFreehandTools) {
        QToolButton* tool = makeToolButton(hand, t.name, t.hint, t.art, {t.left, 8});
        this->*t.field = tool;
        connect(tool, &QToolButton::clicked, this, t.handler);
    }
    freehandGroup_ = radioGroup(this, {SpeedButton13, SpeedButton14, SpeedButton12, SpeedButton15, SpeedButton11});
    ColorPanel = new QFrame(hand);
    ColorPanel->setObjectName(QStringLiteral("ColorPanel"));
    ColorPanel->setGeometry(168, 8, 41, 21);
    ColorPanel->setToolTip(QStringLiteral("Select a color from ColorPanel"));
    ColorPanel->setFrameShape(QFrame::Panel);
    ColorPanel->setFrameShadow(QFrame::Sunken);
    ColorPanel->setAutoFillBackground(true);
    ColorPanel->installEventFilter(this);
}

void TMyPicture::buildAboutPanel() {
    Panel3 = new QFrame(central_);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(192, 99, 425, 337);
    Panel3->setFrameShape(QFrame::Panel);
    Panel3->setFrameShadow(QFrame::Raised);
    Panel3->setLineWidth(2);
    Panel3->setAutoFillBackground(true);

    Image3 = new QLabel(Panel3);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(16, 12, 32, 32);
    Image3->setPixmap(programIcon().pixmap(32, 32));

    Memo1 = new QPlainTextEdit(Panel3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 52, 393, 220);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(QString::fromLatin1(kAboutText));
    QPalette light = Memo1->palette();
    light.setColor(QPalette::Base, QColor(255, 255, 232));
    Memo1->setPalette(light);

    Label6 = makeLabel(Panel3, "Label6", "Published in " HUELINE_RELEASE_YEAR " by the Hueline developers", {16, 284});
    Label7 = makeLabel(Panel3, "Label7", kWebPage, {16, 306});

    Button17 = makeButton(Panel3, "Button17", "X", nullptr, QRect(425 - 17 - 4, 4, 17, 17));
    connect(Button17, &QPushButton::clicked, this, &TMyPicture::Button17Click);

    Panel3->hide();
    Panel3->raise();
}

void TMyPicture::buildDialogs() {
    OpenPictureDialog1 = new QFileDialog(this, QStringLiteral("Open"));
    OpenPictureDialog1->setObjectName(QStringLiteral("OpenPictureDialog1"));
    OpenPictureDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenPictureDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    // Any name may be typed; a missing file is the loader's to report.
    OpenPictureDialog1->setFileMode(QFileDialog::AnyFile);
    // Room for the list and the preview beside it.
    OpenPictureDialog1->resize(780, 460);

    SavePictureDialog1 = new QFileDialog(this, QStringLiteral("Save As"));
    SavePictureDialog1->setObjectName(QStringLiteral("SavePictureDialog1"));
    SavePictureDialog1->setOption(QFileDialog::DontUseNativeDialog);
    SavePictureDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    SavePictureDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SavePictureDialog1->setFileMode(QFileDialog::AnyFile);
    SavePictureDialog1->resize(780, 460);

    // The name box's completion list is a window of its own; a path typed
    // and confirmed with Enter can leave it open over the main window.
    for (QFileDialog* dialog : {OpenPictureDialog1, SavePictureDialog1})
        connect(dialog, &QDialog::finished, dialog, [dialog] {
            for (QCompleter* completer : dialog->findChildren<QCompleter*>())
                if (QAbstractItemView* list = completer->popup()) list->hide();
        });

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    // Qt's own dialog always shows its custom colours.
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
}

// Start-up of the working pictures: the result pane holds the sample
// picture; the workspace copies it into OriginalPicture, SourceSnapshot,
// ResultSnapshot and UndoPicture and into the source pane. Qt paints
// every widget double-buffered already.
void TMyPicture::FormCreate() {
    ws_ = Workspace(samplePicture());
    released_ = false;
    connectWorkspace();
    showPanes();
    setDrawingColor(kBlack);
    unsaved_ = false;
}

void TMyPicture::createFringeDialogs() {
    // Created hidden, in this order; they live as long as the window.
    FormOfFringe1 = new TFormOfFringe1(ws_, this);
    FormOfFringe2 = new TFormOfFringe2(ws_, this);
    FormOfFringe3 = new TFormOfFringe3(ws_, this);
}

void TMyPicture::connectWorkspace() {
    ws_.setListener([this](Workspace::Change c) {
        switch (c) {
            case Workspace::Change::SourcePane: Image2->setPicture(ws_.sourcePane()); break;
            case Workspace::Change::ResultPane:
                Image1->setPicture(ws_.resultPane());
                unsaved_ = true;  // Open, Renew and Save clear it afterwards
                break;
            case Workspace::Change::Status:
                Label1->setText(QString::fromStdString(ws_.status()));
                // "Waiting" must be on the screen before the long pixel work.
                if (ws_.status() == status::kWaiting) Label1->repaint();
                break;
        }
    });
}

void TMyPicture::showPanes() {
    Image1->setPicture(ws_.resultPane());
    Image2->setPicture(ws_.sourcePane());
    Label1->setText(QString::fromStdString(ws_.status()));
}

void TMyPicture::SpeedButton8Click() { TabbedNotebook1->setCurrentIndex(0); }

void TMyPicture::SpeedButton9Click() { TabbedNotebook1->setCurrentIndex(1); }

void TMyPicture::About1Click() {
    Panel3->raise();
    Panel3->show();
}

void TMyPicture::Button17Click() { Panel3->hide(); }

// Escape closes the About panel, as the "X" does. Keys the focused control
// leaves alone arrive here.
void TMyPicture::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && Panel3->isVisible()) {
        Button17Click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}


void TMyPicture::Online1Click() {
    // Whether a browser opened is not the program's business.
    (void)QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebPage)));
}

void TMyPicture::releaseWorkspace() {
    if (released_) return;
    released_ = true;
    holdCommands(false);
    ws_ = Workspace();
    DragPicture_.reset();
    Image1->setPicture(WorkBitmap());
    Image2->setPicture(WorkBitmap());
}

void TMyPicture::Exit1Click() { close(); }

void TMyPicture::closeEvent(QCloseEvent* event) {
    // Any way of closing ends the program as Exit does; the dialogs go too.
    // Unsaved work is asked about first, and Cancel keeps the window.
    if (!released_ && !mayDropUnsavedWork()) {
        event->ignore();
        return;
    }
    releaseWorkspace();
    for (QWidget* d : {static_cast<QWidget*>(FormOfFringe1), static_cast<QWidget*>(FormOfFringe2),
                       static_cast<QWidget*>(FormOfFringe3)})
        if (d) d->hide();
    event->accept();
}

// Undo, Renew, Give and Get copy whole pictures: a moment on a big one.
void TMyPicture::SpeedButton3Click() {
    const BusyCursor busy;
    ws_.undo();
}

void TMyPicture::SpeedButton4Click() {
    const BusyCursor busy;
    ws_.renew();
    unsaved_ = false;
}

void TMyPicture::SpeedButton16Click() {
    const BusyCursor busy;
    ws_.give();
}

void TMyPicture::SpeedButton17Click() {
    const BusyCursor busy;
    ws_.get();
}

bool TMyPicture::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SpeedButton7) {
        // A quick second press arrives as a double-click; it is a press.
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            SpeedButton7MouseDown();
        if (event->type() == QEvent::MouseButtonRelease) SpeedButton7MouseUp();
    } else if (watched == ColorPanel && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && ColorPanel->rect().contains(me->position().toPoint())) {
            ColorPanelClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace hueline::app
