#pragma once

#include <QString>
#include <functional>

class QWidget;

// The program's own message boxes. Every box is plain: the application title
// as caption, an OK button (or Yes/No), no icon. Tests replace the boxes with
// hooks so that nested modal loops can be driven without a person.
namespace ui {

using MessageHook = std::function<void(const QString &text)>;
using QuestionHook = std::function<bool(const QString &text)>;

// A fixed Russian message with an OK button.
void message(QWidget *parent, const QString &text);
// A Yes/No confirmation; true for Yes.
bool question(QWidget *parent, const QString &text);
// The toolkit's standard error box for an error no handler caught.
void error(QWidget *parent, const QString &text);

// Runs an event handler; an exception that escapes it is shown in the
// standard error box and the program goes on.
void guarded(QWidget *parent, const std::function<void()> &handler);

// Test seams: while a hook is set, it answers instead of the box.
void setMessageHook(MessageHook hook);
void setQuestionHook(QuestionHook hook);
void setErrorHook(MessageHook hook);

} // namespace ui
