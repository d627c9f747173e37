// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter dialog of the method the main window calls "Fringe 2"
// ("Parameter for Fringe2").
#pragma once

#include "app/fringe_dialog.h"

namespace hueline::app {

class TFormOfFringe3 : public FringeDialog {
    Q_OBJECT
public:
    explicit TFormOfFringe3(Workspace& ws, QWidget* parent = nullptr);

public slots:
    void Button1Click() override;
};

}  // namespace hueline::app
