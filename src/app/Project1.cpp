// The program: the application object and the exam window.
#include "ui/Application.h"
#include "ui/TestDump.h"
#include "ui/Unit1.h"

#include <QIcon>
#include <chrono>

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    qarvel::ui::Application app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/pictures/icon.png")));

    // The exam window. Creating it loads and counts the source text; a failure
    // there is shown in the error box and the window still comes up.
    qarvel::ui::TForm1 form;
    qarvel::ui::InstallTestDump(&form, start);

    // The login window opens from here, before the exam window comes on screen.
    form.show();
    form.activateWindow();
    return app.exec();
}
