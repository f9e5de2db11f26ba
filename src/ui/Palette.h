#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace qarvel::ui {

// Colours of the two windows, as 0xRRGGBB.
inline constexpr unsigned kHighlightRgb = 0x3399FF; // the system highlight colour
inline constexpr unsigned kLimeRgb = 0x00FF00;
inline constexpr unsigned kYellowRgb = 0xFFFF00;
inline constexpr unsigned kPanelRgb = 0xF0F0F0; // the panel (button face) colour

// Paints the background of `widget` in `colour`.
inline void Fill(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace qarvel::ui
