#pragma once

#include <QApplication>

namespace qarvel::ui {

// The application object. Every handler of the windows runs inside notify():
// an exception that escapes one ends that event only, is shown in the
// application's error box, and the program goes on with the next event.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace qarvel::ui
