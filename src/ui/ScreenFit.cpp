#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace qarvel::ui {

WindowFit FitWindow(const QRect& designed, const QRect& available, int mostLess) {
    if (available.isEmpty() || available.contains(designed)) {
        return {designed.topLeft(), 0};
    }
    WindowFit fit;
    fit.lessHeight = std::clamp(designed.height() - available.height(), 0, std::max(mostLess, 0));
    const QSize size(designed.width(), designed.height() - fit.lessHeight);
    fit.position = QPoint(available.left() + std::max((available.width() - size.width()) / 2, 0),
                          available.top() + std::max((available.height() - size.height()) / 2, 0));
    return fit;
}

QRect AvailableArea(const QWidget* window) {
    const QScreen* screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

} // namespace qarvel::ui
