#pragma once

#include <functional>

class QWidget;

namespace qarvel::ui {

// Runs `work` once, when the event loop is next idle after `window` was first
// painted (the paint itself is not delayed). Nothing runs if the window goes first.
void RunAfterFirstPaint(QWidget* window, std::function<void()> work);

} // namespace qarvel::ui
