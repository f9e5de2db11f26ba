#include "Application.h"

#include "AnswerEdit.h"
#include "MessageBoxes.h"
#include "Palette.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

namespace qarvel::ui {

Application::Application(int& argc, char** argv, MessageBoxes boxes)
    : QApplication(argc, argv), boxes_(std::move(boxes)) {
    UseProgramLook();
    InstallQtTranslations();
    // From the first window on, key events other programs send reach none.
    AnswerEdit::WatchRealKeyPresses();
}

bool InstallQtTranslations() {
    static QTranslator* translator = nullptr;
    if (translator != nullptr) {
        return true;
    }
    auto* loaded = new QTranslator(QCoreApplication::instance());
    // qt_zh_CN takes in qtbase_zh_CN, where the widgets' texts are.
    if (!loaded->load(QStringLiteral("qt_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete loaded;
        return false;
    }
    QCoreApplication::installTranslator(loaded);
    translator = loaded;
    return true;
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        boxes_.ShowException(std::current_exception());
        return false;
    }
}

} // namespace qarvel::ui
