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

// The program's own light palette: black text on white in text fields, light
// grey window and button faces. Every role of every group is set, so nothing of
// the desktop's palette shows through.
QPalette ProgramPalette();

// Gives the whole program its own style and palette, whatever style or palette
// the desktop asks for (QT_STYLE_OVERRIDE, -style, a dark desktop theme): the
// windows, their message boxes and menus look the same everywhere. Call before
// any window is made.
void UseProgramLook();

} // namespace qarvel::ui
