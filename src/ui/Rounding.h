#pragma once

#include <QRegion>
#include <QSize>

class QWidget;

namespace qarvel::ui {

// A rounded rectangle covering every pixel of a `size` rectangle except those
// whose centre lies outside the corner ellipses. Each corner is a quarter of an
// ellipse `ellipseWidth` wide and `ellipseHeight` high (radii half of those), as
// with the window system's round-rectangle regions. An ellipse below 2 pixels
// either way gives the plain rectangle; one larger than the rectangle is cut to it.
QRegion RoundedRegion(QSize size, int ellipseWidth, int ellipseHeight);

// Rounds the corners of `control`, a window or a control: only the inside of the
// rounded rectangle over its client area is drawn and takes the mouse (for a
// top-level window the window system's shape too, so clicks in a cut-off corner
// go to what lies beneath). An edit control's text area also moves 5 pixels in
// from every side. The shape is computed once, from the size at the time of the
// call, and the control repaints.
//
// A top-level window that PrepareRoundedWindow made translucent also paints
// its own rounded panel in its background colour, smooth at the edge, and its
// direct children of that same colour (the title strip) let it show through:
// so the corners are cut where the window system ignores shapes (Wayland,
// XWayland).
void ApplyRoundedRegion(QWidget* control, int ellipseWidth, int ellipseHeight);

// The windows' own name for it: both windows round their corners and their
// buttons' corners through RoundControl.
inline void RoundControl(QWidget* control, int ellipseWidth, int ellipseHeight) {
    ApplyRoundedRegion(control, ellipseWidth, ellipseHeight);
}

// Call on a frameless top-level window before it is first shown: where the
// window system cannot cut a window's corners by its shape, the window
// becomes translucent, for ApplyRoundedRegion to paint its rounded panel.
void PrepareRoundedWindow(QWidget* window);

} // namespace qarvel::ui
