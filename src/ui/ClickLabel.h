#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>
#include <utility>

namespace qarvel::ui {

// A label, picture or captioned panel that reports a click: the left button
// pressed and released over it.
class ClickLabel : public QLabel {
public:
    using QLabel::QLabel;

    void setClickHandler(std::function<void()> handler) { click_ = std::move(handler); }
    void click() {
        if (click_) {
            click_();
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool clicked = pressed_ && event->button() == Qt::LeftButton &&
                             rect().contains(event->position().toPoint());
        pressed_ = false;
        QLabel::mouseReleaseEvent(event);
        if (clicked) {
            click();
        }
    }

private:
    std::function<void()> click_;
    bool pressed_ = false;
};

} // namespace qarvel::ui
