#include "TitleStrip.h"

#include "platform/WindowSystem.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <utility>

namespace qarvel::ui {
namespace {

constexpr const char* kMoverName = "qarvel_title_strip_mover";

// Watches one title strip: its presses and the move of its window.
class StripMover : public QObject {
public:
    explicit StripMover(QWidget* strip) : QObject(strip), strip_(strip) {
        setObjectName(QLatin1String(kMoverName));
        strip->installEventFilter(this);
    }

    void setMouseDown(std::function<void(QMouseEvent*)> handler) {
        mouseDown_ = std::move(handler);
        takesPresses_ = true;
    }

    void start(const QMouseEvent& press) {
        finish();
        QWidget* window = strip_->window();
        pressButton_ = press.button();
        offset_ = press.globalPosition().toPoint() - window->pos();
        QWindow* handle = window->windowHandle();
        if (handle != nullptr && platform::WindowManagerRuns(window) && handle->startSystemMove()) {
            mode_ = Mode::System;
            return;
        }
        // No window system move (no window manager, or the offscreen platform):
        // the window follows the mouse here; the press's own grab brings us
        // every move and the release.
        mode_ = Mode::ByHand;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != strip_) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return pressed(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return moved(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return released(static_cast<QMouseEvent*>(event));
        default:
            return false;
        }
    }

private:
    enum class Mode { Idle, System, ByHand };

    bool pressed(QMouseEvent* mouse) {
        finish(); // a new press: any earlier move is over
        if (!takesPresses_ || strip_->childAt(mouse->position().toPoint()) != nullptr) {
            return false; // a control on the strip had the press
        }
        if (mouseDown_) {
            mouseDown_(mouse);
        } else {
            start(*mouse);
        }
        mouse->accept();
        return true;
    }

    bool moved(QMouseEvent* mouse) {
        if (mode_ != Mode::ByHand) {
            return false;
        }
        follow(mouse->globalPosition().toPoint());
        if (mouse->buttons() == Qt::NoButton) {
            finish(); // the release went elsewhere
        }
        return true;
    }

    bool released(QMouseEvent* mouse) {
        if (mode_ == Mode::Idle) {
            return false;
        }
        if (mode_ == Mode::System) {
            // A window manager running the move holds the pointer and has the
            // release. It came here: nobody ran the move, and Qt has called it
            // off. Put the window where the move would have left it.
            follow(mouse->globalPosition().toPoint());
            finish();
            return true;
        }
        if (mouse->button() == pressButton_ || mouse->buttons() == Qt::NoButton) {
            follow(mouse->globalPosition().toPoint());
            finish();
        }
        return true;
    }

    void follow(const QPoint& pointer) { strip_->window()->move(pointer - offset_); }

    void finish() { mode_ = Mode::Idle; }

    QWidget* strip_;
    std::function<void(QMouseEvent*)> mouseDown_;
    bool takesPresses_ = false;
    Mode mode_ = Mode::Idle;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    QPoint offset_; // from the window's top-left corner to the pointer at the press
};

StripMover* MoverOf(QWidget* strip) {
    // Only a StripMover carries this name.
    auto* found = strip->findChild<QObject*>(QLatin1String(kMoverName), Qt::FindDirectChildrenOnly);
    return found != nullptr ? static_cast<StripMover*>(found) : new StripMover(strip);
}

} // namespace

void MakeTitleStrip(QWidget* strip, std::function<void(QMouseEvent*)> mouseDown) {
    if (strip != nullptr) {
        MoverOf(strip)->setMouseDown(std::move(mouseDown));
    }
}

void StartWindowMove(QWidget* strip, const QMouseEvent& press) {
    if (strip != nullptr) {
        MoverOf(strip)->start(press);
    }
}

} // namespace qarvel::ui
