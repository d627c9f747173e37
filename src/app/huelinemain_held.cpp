// SPDX-License-Identifier: GPL-3.0-or-later
// Commands held during a gesture. While a stroke is drawn or the preview
// is held, the working pictures are out of step with what the panes show
// until the gesture ends; a command in between (Undo by its shortcut, a
// slider moved by the keyboard) would act on the wrong picture. So the
// menus are disabled and the keyboard goes nowhere until the gesture ends.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QSlider>

#include "app/huelinemain.h"

namespace hueline::app {

namespace {

// While commands are held: keys other than Escape (which ends a stroke) go
// nowhere, so no focused button, slider or shortcut acts; nor does the
// wheel over a slider. Scrolling a pane stays possible.
class HeldInput : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride: return static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape;
            case QEvent::Shortcut: return true;
            case QEvent::Wheel: return qobject_cast<QSlider*>(watched) != nullptr;
            default: return false;
        }
    }
};

}  // namespace

void TMyPicture::holdCommands(bool hold) {
    if (hold == commandsHeld_) return;
    commandsHeld_ = hold;
    if (!heldInput_) heldInput_ = new HeldInput(this);
    for (QAction* a : {Open1, Save1, PrintPreview1, Print1, Exit1, Undo1, Renew1, QuickPanel1, woValue1, Online1, About1})
        a->setEnabled(!hold);
    if (hold)
        qApp->installEventFilter(heldInput_);
    else
        qApp->removeEventFilter(heldInput_);
}

}  // namespace hueline::app
