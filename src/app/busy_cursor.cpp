// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

#ifdef HUELINE_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace hueline::app {

namespace {
// The window system gets the new cursor when the program next waits for
// events, which long work does not do: under X it is sent at once.
void sendCursorNow() {
#ifdef HUELINE_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        if (xcb_connection_t* connection = x11->connection()) xcb_flush(connection);
#endif
}
}  // namespace

BusyCursor::BusyCursor() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    sendCursorNow();
}

BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace hueline::app
