// SPDX-License-Identifier: GPL-3.0-or-later
// The window's command line: `hueline [FILE]`. A file manager's "Open
// With" hands the picture over this way.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace hueline::app {

struct StartFile {
    QString name;         // empty: start on the sample picture
    std::string warning;  // for standard error; empty when nothing was left out
};

// The picture named on the command line (arguments as QApplication leaves
// them, the program's name first). Only the first is opened; the others
// are named in the warning.
StartFile startFileOf(const QStringList& arguments);

}  // namespace hueline::app
