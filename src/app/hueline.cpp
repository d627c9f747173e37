// SPDX-License-Identifier: GPL-3.0-or-later
// The window program: the application with its error report, the main
// window (which creates the three parameter dialogs after itself), and
// the event loop until the main window closes.
#include "app/application.h"
#include "app/huelinemain.h"

int main(int argc, char** argv) {
    hueline::app::HuelineApplication app(argc, argv);
    hueline::app::TMyPicture window;
    window.show();
    return app.exec();
}
