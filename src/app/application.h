// SPDX-License-Identifier: GPL-3.0-or-later
// The application object. Its notify() is the program's one top-level
// error report: an error that a handler throws ends that handler, and its
// text is shown in a message box; the program goes on with the panes and
// working pictures as the failed command left them (unchanged).
#pragma once

#include <QApplication>

namespace hueline::app {

class HuelineApplication : public QApplication {
public:
    HuelineApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace hueline::app
