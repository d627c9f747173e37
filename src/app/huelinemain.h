// SPDX-License-Identifier: GPL-3.0-or-later
// TMyPicture, the main window: the two panes with the status label, the
// tool bar, the tabbed tool pages, the menus and the About panel, and the
// handlers of all of them.
//
// The window is thin. Its handlers call the workspace and the command
// catalogue; nothing here computes pixels. The panes show the workspace's
// source and result pictures and repaint when the workspace says that one
// of them changed.
//
// The implementation is split by concern:
//   huelinemain.cpp           building the window, start-up, shell handlers
//   huelinemain_commands.cpp  the black-and-white and colour commands
//   huelinemain_files.cpp     open and save
//   huelinemain_freehand.cpp  tools, cursors, eyedropper, strokes
//   huelinemain_held.cpp      menus and keys held during a stroke or preview
//   huelinemain_print.cpp     print and print preview
//   huelinemain_view.cpp      zoom, preview, layout on resize
#pragma once

#include <QCursor>
#include <QMainWindow>

#include <map>
#include <memory>
#include <optional>

#include "imaging/session/workspace.h"

class QAction;
class QButtonGroup;
class QColorDialog;
class QFileDialog;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSlider;
class QTabWidget;
class QToolButton;

namespace hueline::app {

class PicturePane;
class PicturePrinting;
class TFormOfFringe1;
class TFormOfFringe2;
class TFormOfFringe3;

// The freehand tool in use.
enum class ToolMode { None = 0, Pick = 1, Rubber = 2, Brush = 3, Select = 4, Pen = 5 };

// The product's web page (Help > Online) and the About panel's addresses.
inline constexpr const char* kWebPage = "https://hueline.example.org/";

class TMyPicture : public QMainWindow {
    Q_OBJECT
public:
    explicit TMyPicture(QWidget* parent = nullptr);
    ~TMyPicture() override;

    Workspace& workspace() { return ws_; }
    const Workspace& workspace() const { return ws_; }

    // --- Controls, by their layout names -------------------------------
    QMenuBar* MainMenu1;
    QAction *Open1, *Save1, *Exit1, *Undo1, *Renew1, *QuickPanel1, *woValue1, *Online1, *About1;
    QAction *PrintPreview1, *Print1;

    QFrame* ControlBar1;
    QFrame* Panel4;  // SpeedButton1 .. SpeedButton4
    QFrame* Panel5;  // SpeedButton5 .. SpeedButton10
    QFrame* Panel7;  // SpeedButton18 (Print)
    QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4, *SpeedButton5, *SpeedButton6,
        *SpeedButton7, *SpeedButton8, *SpeedButton9, *SpeedButton10, *SpeedButton18;

    QScrollArea* ScrollBox2;  // source pane
    PicturePane* Image2;
    QFrame* Panel6;  // SpeedButton16 (Give), SpeedButton17 (Get)
    QToolButton *SpeedButton16, *SpeedButton17;
    QScrollArea* ScrollBox1;  // result pane
    PicturePane* Image1;
    QLabel* Label1;  // status label

    QTabWidget* TabbedNotebook1;
    // "Color" page
    QPushButton *Button9, *Button13, *Button12;
    QLabel* Label17;
    QSlider* TrackBar2;
    QLabel* Label18;
    QPushButton *Button16, *Button18, *Button19, *Button3, *Button6;
    // "B&W" page
    QLabel* Label8;
    QSlider* TrackBar1;
    QLabel* Label9;
    QPushButton *Button20, *Button1, *Button5, *Button8, *Button2, *Button4, *Button10, *Button7;
    // "Freehand" page
    QToolButton *SpeedButton13, *SpeedButton14, *SpeedButton12, *SpeedButton15, *SpeedButton11;
    QFrame* ColorPanel;

    // About panel
    QFrame* Panel3;
    QLabel* Image3;
    QPlainTextEdit* Memo1;
    QLabel *Label6, *Label7;
    QPushButton* Button17;

    QFileDialog* OpenPictureDialog1;
    QFileDialog* SavePictureDialog1;
    QColorDialog* ColorDialog1;

    // The three parameter dialogs, created hidden after the window.
    TFormOfFringe1* FormOfFringe1 = nullptr;
    TFormOfFringe2* FormOfFringe2 = nullptr;
    TFormOfFringe3* FormOfFringe3 = nullptr;

    // --- Freehand state ------------------------------------------------
    ToolMode toolMode() const { return ToolMode_; }
    ColorValue drawingColor() const { return DrawingColor_; }
    bool picking() const { return Picking_; }
    bool strokeInProgress() const { return DragPicture_.has_value(); }
    // The cursor the result pane shows while a stroke's button is held.
    const QCursor& image1DragCursor() const { return Image1DragCursor_; }

public slots:
    // Start-up and shell (huelinemain.cpp)
    void FormCreate();
    void SpeedButton8Click();  // show the "Color" page
    void SpeedButton9Click();  // show the "B&W" page
    void About1Click();
    void Button17Click();      // hide the About panel
    void Online1Click();
    void Exit1Click();

    // History and the two panes
    void SpeedButton3Click();   // Undo
    void SpeedButton4Click();   // Renew
    void SpeedButton16Click();  // Give
    void SpeedButton17Click();  // Get

    // Commands (huelinemain_commands.cpp)
    void Button20Click();  // Gray
    void Button1Click();   // B&W
    void Button5Click();   // Pen and ink
    void Button8Click();   // Thin
    void Button2Click();   // Erode
    void Button4Click();   // Dilate
    void TrackBar1Change();
    void woValue1Click();
    void Button9Click();   // open "Fringe 1"
    void Button13Click();  // open "Fringe 2"
    void Button12Click();  // open "Fringe 3"
    void Button16Click();  // Inverse
    void Button18Click();  // Sharpen
    void Button19Click();  // Median
    void TrackBar2Change();

    // Files (huelinemain_files.cpp)
    void SpeedButton1Click();  // Open
    void SpeedButton2Click();  // Save

    // Printing (huelinemain_print.cpp)
    void Print1Click();
    void PrintPreview1Click();

    // View (huelinemain_view.cpp)
    void SpeedButton5Click();  // Zoom out
    void SpeedButton6Click();  // Zoom in
    void SpeedButton7MouseDown();
    void SpeedButton7MouseUp();
    void FormResize();

    // Freehand (huelinemain_freehand.cpp)
    void SpeedButton11Click();  // pick
    void SpeedButton15Click();  // rubber
    void SpeedButton14Click();  // brush
    void SpeedButton13Click();  // select
    void SpeedButton12Click();  // pen
    void setcursorimage2();
    void ColorPanelClick();
    void Image2MouseDown(Qt::MouseButton button, QPoint pos);
    void Image2MouseMove(QPoint pos);
    void Image2MouseUp(Qt::MouseButton button, QPoint pos);
    void Image1StartDrag();
    void Image1DragOver(QPoint pos);
    void Image1EndDrag();

public:
    // Open without the dialog: fills both panes from the named file and
    // resets the working pictures. Errors end it with nothing changed.
    void OpenPicture(const QString& fileName);
    // Save without the dialog: the result pane as JPEG (entry 1), BMP
    // (entry 2) or PNG (entry 3), the extension forced onto the name.
    // Returns the name used.
    QString savePicture(const QString& chosenName, int filterEntry);
    // Whether the result pane holds work made since the last Open, Renew
    // or Save (a command, a stroke, a zoom, Undo, Get).
    bool unsavedWork() const { return unsaved_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenu();
    void buildToolBar();
    void buildPanes();
    void buildNotebook();
    void buildSliders(QWidget* color, QWidget* bw);
    void buildFreehandPage(QWidget* hand);
    void buildAboutPanel();
    void buildDialogs();
    void createFringeDialogs();
    void connectWorkspace();
    void showPanes();
    void setDrawingColor(ColorValue c);
    void releaseWorkspace();
    // While a stroke or the preview lasts, the menus, their shortcuts and
    // the keyboard wait: a command in between would leave the working
    // pictures out of step with what the panes show.
    void holdCommands(bool hold);
    // Whether a stroke position lies over the part of the result pane the
    // user sees (inside the scroll box's viewport, under no other control).
    bool overVisibleResult(QPoint pos) const;
    // Both scroll boxes back to their top-left corner.
    void scrollPanesHome();
    // Save As from the dialog; true when the result pane was written.
    bool saveAs();
    // Before unsaved work is replaced or dropped: asks, saves if told to.
    // False when the user cancelled (or the save did not happen).
    bool mayDropUnsavedWork();

    Workspace ws_;
    std::shared_ptr<PicturePrinting> printing_;  // made at the first print
    QWidget* central_ = nullptr;
    QButtonGroup* panel4Group_ = nullptr;
    QButtonGroup* panel5Group_ = nullptr;
    QButtonGroup* panel6Group_ = nullptr;
    QButtonGroup* freehandGroup_ = nullptr;

    ToolMode ToolMode_ = ToolMode::None;
    ColorValue DrawingColor_ = kBlack;
    bool Picking_ = false;
    std::optional<WorkBitmap> DragPicture_;
    // The platform's cursor table: identifier -> cursor (1 "YUAN", 2 "EYEDROP").
    std::map<int, QCursor> Screen_Cursors_;
    QCursor Image1Cursor_;
    QCursor Image1DragCursor_{Qt::DragMoveCursor};
    // The open and save dialogs keep the user's last filter entry for the run.
    int openFilterEntry_ = 1;
    int saveFilterEntry_ = 1;
    // The folder of the last picture opened or saved in this run, where
    // both file dialogs start; empty until then.
    QString lastFolder_;
    // The panes' scroll positions while the preview shows.
    QPoint keptScroll_[2];
    bool released_ = false;
    bool unsaved_ = false;
    bool previewing_ = false;
    bool commandsHeld_ = false;
    QObject* heldInput_ = nullptr;  // the application-wide filter while held
};

}  // namespace hueline::app
