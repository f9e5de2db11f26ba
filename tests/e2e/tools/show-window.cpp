// show-window Form1|Form2: shows one of the program's windows by itself, as the
// program makes it, for screenshots on desktops the tests cannot type into
// (headless Wayland). Prints "shown" once the window is on screen and has
// painted, then runs until it is ended. Run it where vexo/2.txt is.
#include "app/ExamFlow.h"
#include "ui/Application.h"
#include "ui/ExamWindow.h"
#include "ui/LoginWindow.h"

#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <utility>

int main(int argc, char** argv) {
    qarvel::ui::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const bool login = argc > 1 && std::strcmp(argv[1], "Form2") == 0;
    // The source as the program loads it; without a login window the exam
    // window comes on screen at once.
    qarvel::ui::ExamWindowSetup setup;
    setup.sourceText = qarvel::app::LoadSource(qarvel::exam::kSourcePath, false, {}).text;
    qarvel::ui::ExamWindow exam(std::move(setup));
    qarvel::ui::LoginWindow form2;
    QWidget* window = login ? static_cast<QWidget*>(&form2) : &exam;
    window->show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window->windowHandle() != nullptr && window->windowHandle()->isExposed()) {
            poll.stop();
            QTimer::singleShot(500, [] {
                std::puts("shown");
                std::fflush(stdout);
            });
        }
    });
    poll.start(20);
    return QApplication::exec();
}
