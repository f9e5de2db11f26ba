#include "TestDump.h"

#include "ui/ExamWindow.h"
#include "ui/SourceView.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <utility>

namespace qarvel::app {
namespace {

using ui::SourceView;

constexpr int kSourceCharacters = 40;

class Dumper : public QObject {
public:
    Dumper(QString path, std::chrono::steady_clock::time_point start)
        : QObject(QCoreApplication::instance()), path_(std::move(path)), start_(start) {
        // Every window's first paint is noted; only test runs pay for the look.
        QCoreApplication::instance()->installEventFilter(this);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { write(); });
        timer->start(200);
    }

    void setForm(ui::ExamWindow* form) { form_ = form; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            const auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && !painted_.contains(NameOf(widget))) {
                const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start_)
                                         .count();
                painted_.insert(NameOf(widget), ms);
                if (widget == form_) {
                    shownMs_ = ms;
                }
            }
        }
        return false;
    }

private:
    static QString NameOf(const QWidget* widget) {
        return widget->objectName().isEmpty() ? QLatin1String(widget->metaObject()->className())
                                              : widget->objectName();
    }

    // The windows on screen and the texts of the ones other than the exam window.
    QString windows() const {
        QStringList names;
        QString texts;
        for (const QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible()) {
                continue;
            }
            const QString name = NameOf(window);
            names << name;
            if (window == form_) {
                continue;
            }
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                if (!label->objectName().isEmpty()) {
                    texts += QStringLiteral("%1.%2=%3\n")
                                 .arg(name, label->objectName(), Escape(label->text()));
                }
            }
            // A popup menu's items (the input-method menu), "|" between them.
            if (const auto* menu = qobject_cast<const QMenu*>(window)) {
                QStringList items;
                for (const QAction* action : menu->actions()) {
                    items << action->text();
                }
                texts += QStringLiteral("%1.items=%2\n").arg(name, Escape(items.join(QChar('|'))));
            }
            for (const QLineEdit* edit : window->findChildren<QLineEdit*>()) {
                if (!edit->objectName().isEmpty()) {
                    texts += QStringLiteral("%1.%2=%3\n")
                                 .arg(name, edit->objectName(), Escape(edit->text()));
                }
            }
        }
        names.sort();
        const QWidget* active = QApplication::activeWindow();
        QString out = QStringLiteral("windows=%1\nactive=%2\n")
                          .arg(names.join(QChar(',')), active ? NameOf(active) : QString());
        for (auto it = painted_.cbegin(); it != painted_.cend(); ++it) {
            out += QStringLiteral("painted.%1=%2\n").arg(it.key()).arg(it.value());
        }
        return out + texts;
    }

    static QString Escape(QString text) {
        return text.replace(QChar('\\'), QStringLiteral("\\\\"))
            .replace(QChar('\r'), QStringLiteral("\\r"))
            .replace(QChar('\n'), QStringLiteral("\\n"));
    }

    void write() {
        QString out = windows();
        if (form_ != nullptr) {
            out += formState();
        }
        QSaveFile file(path_);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(out.toUtf8());
            file.commit();
        }
    }

    QString formState() const {
        QString out;
        const ui::ExamSnapshot exam = form_->Snapshot();
        if (exam.controlsMade) {
            // Every label under its own name, captions and notices included.
            for (const QLabel* label : form_->findChildren<QLabel*>()) {
                if (!label->objectName().isEmpty()) {
                    out += QStringLiteral("%1=%2\n").arg(label->objectName(), label->text());
                }
            }
            out += QStringLiteral("answer=%1\n").arg(Escape(exam.answer));
            out += QStringLiteral("answerEnabled=%1\nanswerReadOnly=%2\n")
                       .arg(int(exam.answerEnabled))
                       .arg(int(exam.answerReadOnly));
        }
        // Where each control is, in the screen's pixels.
        for (const QWidget* control : form_->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty()) {
                continue;
            }
            const qreal scale = control->devicePixelRatioF();
            const QRectF area(QPointF(control->mapToGlobal(QPoint(0, 0))) * scale,
                              QSizeF(control->size()) * scale);
            const QRect pixels = area.toRect();
            out += QStringLiteral("onScreen.%1=%2,%3,%4,%5\n")
                       .arg(control->objectName())
                       .arg(pixels.x())
                       .arg(pixels.y())
                       .arg(pixels.width())
                       .arg(pixels.height());
        }
        const QWidget* focus = QApplication::focusWidget();
        out += QStringLiteral("changes=%1\n").arg(exam.changes);
        out += QStringLiteral("focus=%1\n").arg(focus ? focus->objectName() : QString());
        out += QStringLiteral("shownMs=%1\n").arg(shownMs_);
        if (const auto* view = form_->findChild<SourceView*>()) {
            const int count = std::min(kSourceCharacters, view->characterCount());
            const QString shown = view->shownText(0, count);
            for (int p = 0; p < count; ++p) {
                const QChar ch = shown[p] == u'\n' ? QChar(QChar::ParagraphSeparator) : shown[p];
                const SourceView::Look look = view->lookAt(p);
                out +=
                    QStringLiteral("source%1=%2 %3 %4\n")
                        .arg(p)
                        .arg(ch == QChar::ParagraphSeparator ? QStringLiteral("\\n") : QString(ch))
                        .arg(look.colour.name())
                        .arg(int(look.underline));
            }
        }
        return out;
    }

    QPointer<ui::ExamWindow> form_;
    QString path_;
    std::chrono::steady_clock::time_point start_;
    long long shownMs_ = -1;
    QMap<QString, long long> painted_;
};

Dumper* theDumper = nullptr;

} // namespace

void InstallTestDump(ui::ExamWindow* form, std::chrono::steady_clock::time_point start) {
    const QString path = qEnvironmentVariable("QARVEL_TEST_DUMP");
    if (path.isEmpty()) {
        return;
    }
    if (theDumper == nullptr) {
        theDumper = new Dumper(path, start);
        QObject::connect(theDumper, &QObject::destroyed, [] { theDumper = nullptr; });
    }
    if (form != nullptr) {
        theDumper->setForm(form);
    }
}

} // namespace qarvel::app
