// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace hueline::app {

BusyCursor::BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace hueline::app
