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
QuestionHandler& questionSlot() {
    static QuestionHandler handler;
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

void setQuestionHandler(QuestionHandler handler) { questionSlot() = std::move(handler); }

bool askQuestion(const QString& caption, const QString& text) {
    if (const QuestionHandler& h = questionSlot()) return h(caption, text);
    return QMessageBox::question(QApplication::activeWindow(), caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QString withFullStop(QString text) {
    text = text.trimmed();
    if (!text.endsWith(u'.')) text += u'.';
    return text;
}

}  // namespace hueline::app
