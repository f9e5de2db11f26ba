#include "Application.h"

#include "MessageBoxes.h"
#include "Palette.h"

#include <exception>

namespace qarvel::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    UseProgramLook();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

} // namespace qarvel::ui
