#pragma once

#include <functional>

class QMouseEvent;
class QWidget;

namespace qarvel::ui {

// The window's own title strip on a frameless window. A press of any mouse
// button on the strip's free area (not on a label or picture lying on it, which
// take the press themselves) calls `mouseDown` with the press; without a
// `mouseDown` it starts moving the window at once.
void MakeTitleStrip(QWidget* strip, std::function<void(QMouseEvent*)> mouseDown = {});

// Moves the window that holds `strip`, following the mouse until the button is
// released, for `press`, a press on the strip. The window system runs the move
// where it can (a window manager on X11, the compositor on Wayland); otherwise
// (no window manager, or the offscreen platform) the window follows the mouse
// by hand. Returns at once.
void StartWindowMove(QWidget* strip, const QMouseEvent& press);

} // namespace qarvel::ui
