#include "TestDump.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

namespace qarvel::ui {
namespace {

constexpr int kSourceCharacters = 40;

class Dumper : public QObject {
public:
    Dumper(QWidget* form, QString path, std::chrono::steady_clock::time_point start)
        : QObject(form), form_(form), path_(std::move(path)), start_(start) {
        form->installEventFilter(this);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { write(); });
        timer->start(200);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == form_ && event->type() == QEvent::Paint && shownMs_ < 0) {
            shownMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start_)
                           .count();
        }
        return false;
    }

private:
    static QString Escape(QString text) {
        return text.replace(QChar('\\'), QStringLiteral("\\\\"))
            .replace(QChar('\r'), QStringLiteral("\\r"))
            .replace(QChar('\n'), QStringLiteral("\\n"));
    }

    void write() {
        QString out;
        for (const char* name :
             {"Label2", "Label4", "Label6", "Label8", "Label10", "Label12", "Label14", "Label21"}) {
            if (const auto* label = form_->findChild<QLabel*>(QLatin1String(name))) {
                out += QStringLiteral("%1=%2\n").arg(QLatin1String(name), label->text());
            }
        }
        if (const auto* memo = form_->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))) {
            out += QStringLiteral("answer=%1\n").arg(Escape(memo->toPlainText()));
            out += QStringLiteral("answerEnabled=%1\nanswerReadOnly=%2\n")
                       .arg(int(memo->isEnabled()))
                       .arg(int(memo->isReadOnly()));
        }
        const QWidget* focus = QApplication::focusWidget();
        out += QStringLiteral("changes=%1\n").arg(form_->property("changeCount").toInt());
        out += QStringLiteral("focus=%1\n").arg(focus ? focus->objectName() : QString());
        out += QStringLiteral("shownMs=%1\n").arg(shownMs_);
        if (const auto* view = form_->findChild<QTextEdit*>(QStringLiteral("RichEdit1"))) {
            const QTextDocument* doc = view->document();
            const int count = std::min(kSourceCharacters, doc->characterCount() - 1);
            for (int p = 0; p < count; ++p) {
                const QChar ch = doc->characterAt(p);
                QTextCursor cursor(const_cast<QTextDocument*>(doc));
                cursor.setPosition(p + 1);
                // A paragraph break keeps its format as the next block's.
                const QTextCharFormat format = ch == QChar::ParagraphSeparator
                                                   ? doc->findBlock(p).next().charFormat()
                                                   : cursor.charFormat();
                out +=
                    QStringLiteral("source%1=%2 %3 %4\n")
                        .arg(p)
                        .arg(ch == QChar::ParagraphSeparator ? QStringLiteral("\\n") : QString(ch))
                        .arg(format.foreground().color().name())
                        .arg(int(format.fontUnderline()));
            }
        }
        QSaveFile file(path_);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(out.toUtf8());
            file.commit();
        }
    }

    QWidget* form_;
    QString path_;
    std::chrono::steady_clock::time_point start_;
    long long shownMs_ = -1;
};

} // namespace

void InstallTestDump(QWidget* form, std::chrono::steady_clock::time_point start) {
    const QString path = qEnvironmentVariable("QARVEL_TEST_DUMP");
    if (!path.isEmpty()) {
        new Dumper(form, path, start);
    }
}

} // namespace qarvel::ui
