// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

namespace hueline::app {

StartFile startFileOf(const QStringList& arguments) {
    StartFile start;
    if (arguments.size() < 2) return start;
    start.name = arguments.at(1);
    if (arguments.size() > 2) {
        const QStringList ignored = arguments.mid(2);
        start.warning = QStringLiteral("hueline: opens one picture at a time; opening %1, not %2")
                            .arg(start.name, ignored.join(QStringLiteral(", ")))
                            .toStdString();
    }
    return start;
}

}  // namespace hueline::app
