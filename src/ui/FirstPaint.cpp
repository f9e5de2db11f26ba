#include "FirstPaint.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <utility>

namespace qarvel::ui {
namespace {

// Watches the window for its first paint, then runs the work in idle time and goes.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget* window, std::function<void()> work)
        : QObject(window), work_(std::move(work)) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && work_) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                const std::function<void()> work = std::move(work_);
                work_ = nullptr;
                deleteLater();
                work();
            });
        }
        return false;
    }

private:
    std::function<void()> work_;
};

} // namespace

void RunAfterFirstPaint(QWidget* window, std::function<void()> work) {
    new AfterFirstPaint(window, std::move(work));
}

} // namespace qarvel::ui
