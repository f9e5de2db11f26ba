#pragma once

#include "MessageBoxes.h"

#include <QApplication>

namespace qarvel::ui {

// The application object. Every handler of the windows runs inside notify():
// an exception that escapes one ends that event only, is shown in the
// application's error box, and the program goes on with the next event.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv, MessageBoxes boxes = {});

    bool notify(QObject* receiver, QEvent* event) override;
    // Who answers the error box of an escaped exception (tests pass theirs).
    void setMessageBoxes(MessageBoxes boxes) { boxes_ = std::move(boxes); }

private:
    MessageBoxes boxes_;
};

// Loads Qt's own Chinese texts (context menus, dialog buttons) whatever the
// user's locale, as every other text of the program is Chinese. The
// application object does this itself; false when Qt's translations are not
// installed (Qt's texts stay English then).
bool InstallQtTranslations();

} // namespace qarvel::ui
