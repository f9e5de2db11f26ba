#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <stdexcept>
#include <utility>

namespace qarvel::ui {
QString ApplicationTitle() {
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty()) {
        name = QCoreApplication::applicationName();
    }
    const qsizetype dot = name.indexOf(QChar('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    if (name.size() > 1) {
        name = name.left(1) + name.mid(1).toLower();
    }
    return name;
}

QString ErrorBoxText(const QString& message) {
    const QByteArray bytes = message.toUtf8();
    if (!bytes.isEmpty() && static_cast<unsigned char>(bytes.back()) > 46) {
        return message + QChar('.');
    }
    return message;
}

BoxAnswer MessageBoxes::Show(const BoxRequest& request, QWidget* parent) const {
    if (responder_) {
        return responder_(request);
    }
    QMessageBox box(parent);
    box.setWindowTitle(request.caption);
    // The texts are the program's own or an error's: never markup. A lone CR,
    // as in the close question, breaks the line like CR LF does.
    box.setTextFormat(Qt::PlainText);
    QString text = request.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    box.setText(text);
    switch (request.kind) {
    case BoxKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case BoxKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case BoxKind::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        // A stray Enter or Space must not end anything: 取消 has the focus
        // and is the default, and Esc answers 取消 too.
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    if (parent == nullptr) {
        // Centred on the screen, like a dialog without an owner.
        box.adjustSize();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            box.move(area.center() - box.rect().center());
        }
    }
    // The buttons speak the program's language.
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) {
        ok->setText(QStringLiteral("确定"));
    }
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) {
        cancel->setText(QStringLiteral("取消"));
    }
    return box.exec() == QMessageBox::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void MessageBoxes::ShowError(const QString& message) const {
    Show({BoxKind::Error, ApplicationTitle(), ErrorBoxText(message)});
}

void MessageBoxes::ShowPlain(const QString& text) const {
    Show({BoxKind::Plain, ApplicationTitle(), text});
}

void MessageBoxes::ShowException(std::exception_ptr error) const {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
}

} // namespace qarvel::ui
