#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace qarvel::ui {

// Where a window goes on a screen, and how much height it gives up to be seen
// whole there.
struct WindowFit {
    QPoint position;    // the window's top-left corner
    int lessHeight = 0; // taken from the window's text areas
    bool operator==(const WindowFit&) const = default;
};

// `designed`: the window's designed place and size; `available`: the screen's
// available area (without panels and docks); `mostLess`: the most height the
// window can give up. A window whose designed place lies inside the area stays
// exactly as designed. Otherwise it gives up the height it must (at most
// `mostLess`) and goes to the middle of the area, its top-left corner kept
// inside it, so that a window too large even then loses its right and bottom
// edges, never its title or its left side.
WindowFit FitWindow(const QRect& designed, const QRect& available, int mostLess);

// The available area of the screen `window` is on (or will come on).
QRect AvailableArea(const QWidget* window);

} // namespace qarvel::ui
