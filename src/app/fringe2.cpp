// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fringe2.h"

#include "app/busy_cursor.h"
#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"

namespace hueline::app {

// This class carries the method called "Fringe 3" on the main window: its
// caption, defaults and built-in kernel are Fringe 3's.
TFormOfFringe2::TFormOfFringe2(Workspace& ws, QWidget* parent)
    : FringeDialog(ws, kFringe3Defaults, {"Parameter for Fringe3", "OK", QPoint(121, 237), QSize(270, 192)}, parent) {
    setObjectName(QStringLiteral("FormOfFringe2"));
    setTabOrderOf({Button1, Button2, Button3, Edit1, Edit2, Edit3, Edit6, Edit5, Edit4, Edit7, Edit8, Edit9});
}

void TFormOfFringe2::Button1Click() {
    const Kernel k = parseKernel(coefficientTexts());
    const BusyCursor busy;
    commands::fringe3(ws_, k);
}

}  // namespace hueline::app
