#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <utility>

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

// The program file's name without folder, up to its first ".", every letter
// after the first in lower case.
QString ApplicationTitle();

// The message with "." added when its last byte is above 46.
QString ErrorBoxText(const QString& message);

// Who answers a window's message boxes: the real dialogs, or the responder
// that whoever made the window passed in (tests answer them so). Each window
// and the application object hold their own; nothing is set globally.
class MessageBoxes {
public:
    MessageBoxes() = default;
    explicit MessageBoxes(BoxResponder responder) : responder_(std::move(responder)) {}

    BoxAnswer Show(const BoxRequest& request, QWidget* parent = nullptr) const;
    void ShowError(const QString& message) const;
    void ShowPlain(const QString& text) const;
    // Shows an exception that escaped a handler in the error box.
    void ShowException(std::exception_ptr error) const;

    // Runs one handler; an exception that escapes it ends it and is shown.
    // Returns false when the handler failed.
    template <class F> bool Guarded(F&& handler) const noexcept {
        try {
            handler();
            return true;
        } catch (...) {
            ShowException(std::current_exception());
            return false;
        }
    }

private:
    BoxResponder responder_;
};

} // namespace qarvel::ui
