// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace hueline::app {

namespace {
MessageHandler& handlerSlot() {
    static MessageHandler handler;
    return handler;
}
}  // namespace

void setMessageHandler(MessageHandler handler) { handlerSlot() = std::move(handler); }

void showMessage(MessageKind kind, const QString& caption, const QString& text) {
    if (const MessageHandler& h = handlerSlot()) {
        h(kind, caption, text);
        return;
    }
    // No owner window: the box must show even when the failing handler
    // belongs to a dialog that is being hidden.
    if (kind == MessageKind::Error)
        QMessageBox::critical(QApplication::activeWindow(), caption, text);
    else
        QMessageBox::information(nullptr, caption, text);
}

QString withFullStop(QString text) {
    text = text.trimmed();
    if (!text.endsWith(u'.')) text += u'.';
    return text;
}

}  // namespace hueline::app
