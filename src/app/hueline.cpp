// SPDX-License-Identifier: GPL-3.0-or-later
// The window program: the application with its error report, the main
// window (which creates the three parameter dialogs after itself), the
// picture named on the command line, and the event loop until the main
// window closes.
#include <QTimer>

#include <iostream>

#include "app/application.h"
#include "app/command_line.h"
#include "app/huelinemain.h"

int main(int argc, char** argv) {
    hueline::app::HuelineApplication app(argc, argv);
    hueline::app::TMyPicture window;
    window.show();
    const hueline::app::StartFile start = hueline::app::startFileOf(app.arguments());
    if (!start.warning.empty()) std::cerr << start.warning << '\n';
    // Opened from the event loop, as the Open button opens: a file that
    // cannot be read reaches the error report over the window.
    if (!start.name.isEmpty())
        QTimer::singleShot(0, &window, [&window, name = start.name] { window.OpenPicture(name); });
    return app.exec();
}
