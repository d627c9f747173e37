// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fringe3.h"

#include "app/busy_cursor.h"
#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"

namespace hueline::app {

// This class carries the method called "Fringe 2" on the main window: its
// caption, defaults and built-in kernel are Fringe 2's.
TFormOfFringe3::TFormOfFringe3(Workspace& ws, QWidget* parent)
    : FringeDialog(ws, kFringe2Defaults, {"Parameter for Fringe2", "OK", QPoint(94, 236), QSize(270, 195)}, parent) {
    setObjectName(QStringLiteral("FormOfFringe3"));
    setTabOrderOf({Button1, Edit1, Edit2, Edit3, Edit6, Edit5, Edit4, Edit7, Edit8, Edit9, Button2, Button3});
}

void TFormOfFringe3::Button1Click() {
    const Kernel k = parseKernel(coefficientTexts());
    const BusyCursor busy;
    commands::fringe2(ws_, k);
}

}  // namespace hueline::app
