// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/save_question.h"

#include <QDir>
#include <QFileInfo>

#include "app/messages.h"
#include "app/save_name.h"

namespace hueline::app {

QString extensionOfFilter(const QString& filter) {
    const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
    if (star < 0) return QString();
    qsizetype end = star + 2;
    while (end < filter.size() && filter.at(end).isLetterOrNumber()) ++end;
    return end > star + 2 ? filter.mid(star + 1, end - star - 1) : QString();
}

bool mayWriteForcedName(const QString& typed, const QString& filter) {
    const QString ext = extensionOfFilter(filter);
    if (ext.isEmpty()) return true;
    const QString written = QString::fromStdString(withForcedExtension(typed.toStdString(), ext.toStdString()));
    if (written == typed || !QFileInfo::exists(written)) return true;
    return askQuestion(QStringLiteral("Save"),
                       QStringLiteral("%1 already exists.\nThe chosen file type saves the picture as %2, not as "
                                      "%3.\nDo you want to replace it?")
                           .arg(QDir::toNativeSeparators(written), QFileInfo(written).fileName(),
                                QFileInfo(typed).fileName()));
}

}  // namespace hueline::app
