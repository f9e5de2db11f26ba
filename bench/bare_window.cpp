// bare_window [--text]
//
// A bare Qt window of the login window's size: the yardstick for the
// program's start-up time and memory. With --text it also shows one line of
// Chinese, which brings in what any window with text pays for: fontconfig's
// set-up and a Chinese face.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(558, 320);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0) {
        auto* label = new QLabel(QStringLiteral("考生登录"), &window);
        QFont font(QStringLiteral("AR PL UMing CN"));
        font.setPixelSize(27);
        label->setFont(font);
        label->move(216, 56);
    }
    window.show();
    return QApplication::exec();
}
