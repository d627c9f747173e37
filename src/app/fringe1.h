// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter dialog of the Fringe 1 method ("Parameter for Fringe1").
#pragma once

#include "app/fringe_dialog.h"

namespace hueline::app {

class TFormOfFringe1 : public FringeDialog {
    Q_OBJECT
public:
    explicit TFormOfFringe1(Workspace& ws, QWidget* parent = nullptr);

public slots:
    void Button1Click() override;
};

}  // namespace hueline::app
