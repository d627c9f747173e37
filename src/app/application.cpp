// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include <exception>

#include "app/messages.h"
#include "hueline_version.h"

namespace hueline::app {

HuelineApplication::HuelineApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Hueline"));
    setApplicationVersion(QStringLiteral(HUELINE_VERSION_SHORT));
}

bool HuelineApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showMessage(MessageKind::Error, QString::fromLatin1(kErrorCaption), withFullStop(QString::fromUtf8(e.what())));
    } catch (...) {
        showMessage(MessageKind::Error, QString::fromLatin1(kErrorCaption),
                    QStringLiteral("The command failed for an unknown reason."));
    }
    // The event counts as handled: the failed handler has done all it will.
    return true;
}

}  // namespace hueline::app
