#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace qarvel::ui {

// Every message box of the program goes through here, so tests can answer them.
enum class BoxKind {
    Error,    // the application's error box: error icon, OK
    Plain,    // the program's own messages: no icon, OK, centred
    Question, // OK and Cancel, question icon
};
enum class BoxAnswer { Ok, Cancel };

struct BoxRequest {
    BoxKind kind = BoxKind::Plain;
    QString caption;
    QString text;
};

using BoxResponder = std::function<BoxAnswer(const BoxRequest&)>;

// Replaces the real dialogs (tests); an empty responder restores them.
void SetMessageBoxResponder(BoxResponder responder);

BoxAnswer ShowMessageBox(const BoxRequest& request, QWidget* parent = nullptr);

// The program file's name without folder, up to its first ".", every letter
// after the first in lower case.
QString ApplicationTitle();

// The message with "." added when its last byte is above 46.
QString ErrorBoxText(const QString& message);

void ShowErrorBox(const QString& message);
void ShowPlainMessage(const QString& text);

// Shows an exception that escaped a handler in the error box.
void ShowException(std::exception_ptr error);

// Runs one handler; an exception that escapes it ends it and is shown.
// Returns false when the handler failed.
template <class F> bool Guarded(F&& handler) noexcept {
    try {
        handler();
        return true;
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

} // namespace qarvel::ui
