// SPDX-License-Identifier: GPL-3.0-or-later
// What the three fringe parameter dialogs share: the 3 x 3 grid of
// coefficient boxes Edit1 .. Edit9 laid out as the neighbourhood is seen
// on screen, the apply button (Button1), Undo (Button2) and Reset
// (Button3). Each dialog is modeless, a tool window of the main window (it
// stays above that window only, not above other programs nor above the
// program's own modal dialogs), has a fixed size and only a close box;
// closing it only hides it, and it keeps its texts. Every time it opens,
// the focus is on the apply button, and Enter clicks the focused button.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <initializer_list>
#include <string>

#include "imaging/ops/convolution.h"
#include "imaging/session/workspace.h"

namespace hueline::app {

class FringeDialog : public QDialog {
    Q_OBJECT
public:
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    QLineEdit* Edit7;
    QLineEdit* Edit8;
    QLineEdit* Edit9;
    QPushButton* Button1;  // apply
    QPushButton* Button2;  // "Undo"
    QPushButton* Button3;  // "Reset"

    // The boxes in Edit1 .. Edit9 order, and their texts.
    std::array<QLineEdit*, 9> edits() const;
    std::array<std::string, 9> coefficientTexts() const;
    const Kernel& defaults() const { return defaults_; }

    // Shows the dialog in front, with the keyboard, so that Enter applies.
    void bringUp();

public slots:
    // Applies the method with the coefficients in the boxes.
    virtual void Button1Click() = 0;
    // Undo, exactly as the main window's.
    void Button2Click();
    // Puts the default texts back, Edit1 first; no picture changes.
    void Button3Click();

protected:
    struct Design {
        const char* caption;
        const char* applyCaption;
        QPoint position;  // on the screen
        QSize clientSize;
    };
    FringeDialog(Workspace& ws, const Kernel& defaults, const Design& design, QWidget* parent);
    // Tab order from the first control to the last; the first has the
    // focus when the dialog opens.
    void setTabOrderOf(std::initializer_list<QWidget*> chain);
    void keyPressEvent(QKeyEvent* event) override;

    Workspace& ws_;

private:
    Kernel defaults_;
};

}  // namespace hueline::app
