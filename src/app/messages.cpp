// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

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
UnsavedHandler& unsavedSlot() {
    static UnsavedHandler handler;
    return handler;
}
QPointer<QWidget>& ownerSlot() {
    static QPointer<QWidget> owner;
    return owner;
}

// The boxes' parent: Qt centres a box over its parent. Before the main
// window is up (or once it is gone) the active window stands in.
QWidget* boxParent() {
    QWidget* owner = ownerSlot();
    return owner && owner->isVisible() ? owner : QApplication::activeWindow();
}
}  // namespace

void setMessageOwner(QWidget* owner) { ownerSlot() = owner; }

void setMessageHandler(MessageHandler handler) { handlerSlot() = std::move(handler); }

void showMessage(MessageKind kind, const QString& caption, const QString& text) {
    if (const MessageHandler& h = handlerSlot()) {
        h(kind, caption, text);
        return;
    }
    if (kind == MessageKind::Error)
        QMessageBox::critical(boxParent(), caption, text);
    else
        QMessageBox::information(boxParent(), caption, text);
}

void setQuestionHandler(QuestionHandler handler) { questionSlot() = std::move(handler); }

bool askQuestion(const QString& caption, const QString& text) {
    if (const QuestionHandler& h = questionSlot()) return h(caption, text);
    return QMessageBox::question(boxParent(), caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void setUnsavedHandler(UnsavedHandler handler) { unsavedSlot() = std::move(handler); }

UnsavedAnswer askAboutUnsavedWork() {
    if (const UnsavedHandler& h = unsavedSlot()) return h();
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kErrorCaption),
                    QStringLiteral("Save the changes to the sketch?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, boxParent());
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Save: return UnsavedAnswer::Save;
        case QMessageBox::Discard: return UnsavedAnswer::Discard;
        default: return UnsavedAnswer::Cancel;
    }
}

QString withFullStop(QString text) {
    text = text.trimmed();
    if (!text.endsWith(u'.')) text += u'.';
    return text;
}

}  // namespace hueline::app
