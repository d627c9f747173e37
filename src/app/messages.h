// SPDX-License-Identifier: GPL-3.0-or-later
// The message boxes the window shows: the application's one error report
// (every failed command ends there) and the few boxes of its own.
//
// Everything goes through showMessage, so that window tests can take the
// messages instead of a modal box that nobody would close.
#pragma once

#include <QString>

class QWidget;

#include <functional>

namespace hueline::app {

enum class MessageKind {
    Error,        // a failed command, shown as a critical box
    Information,  // a box of the program's own, OK only
};

using MessageHandler = std::function<void(MessageKind kind, const QString& caption, const QString& text)>;

// The window every box belongs to and opens centred over (the main
// window); nullptr while there is none.
void setMessageOwner(QWidget* owner);

// Replaces the message boxes (tests); an empty handler puts them back.
void setMessageHandler(MessageHandler handler);

void showMessage(MessageKind kind, const QString& caption, const QString& text);

using QuestionHandler = std::function<bool(const QString& caption, const QString& text)>;

// Replaces the yes-or-no boxes (tests); an empty handler puts them back.
void setQuestionHandler(QuestionHandler handler);

// A yes-or-no box over the main window, No by default; true for Yes.
bool askQuestion(const QString& caption, const QString& text);

// The answer to "Save the changes to the sketch?".
enum class UnsavedAnswer { Save, Discard, Cancel };

using UnsavedHandler = std::function<UnsavedAnswer()>;

// Replaces the unsaved-work box (tests); an empty handler puts it back.
void setUnsavedHandler(UnsavedHandler handler);

// Asks what becomes of a result that was not saved: Save, Discard or
// Cancel (what Escape and the close box answer); Save is the default.
UnsavedAnswer askAboutUnsavedWork();

// The error report's text: the error's own sentence, with a full stop
// appended when it does not end with one.
QString withFullStop(QString text);

// The caption of the error report's box.
inline constexpr const char* kErrorCaption = "Hueline";

}  // namespace hueline::app
