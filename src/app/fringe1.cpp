// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fringe1.h"

#include "app/busy_cursor.h"
#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"

namespace hueline::app {

TFormOfFringe1::TFormOfFringe1(Workspace& ws, QWidget* parent)
    : FringeDialog(ws, kFringe1Defaults, {"Parameter for Fringe1", "Ok", QPoint(69, 235), QSize(277, 195)}, parent) {
    setObjectName(QStringLiteral("FormOfFringe1"));
    setTabOrderOf({Button1, Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9, Button2, Button3});
}

// The plain convolution with the user's kernel. The dialog comes to the
// front first. The nine texts are converted before any picture changes:
// a box that does not hold an integer stops the method with every pane,
// snapshot and the undo picture as they were.
void TFormOfFringe1::Button1Click() {
    raise();
    activateWindow();
    const Kernel k = parseKernel(coefficientTexts());
    const BusyCursor busy;
    commands::fringe1(ws_, k);
}

}  // namespace hueline::app
