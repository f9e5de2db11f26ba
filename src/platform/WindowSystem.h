#pragma once

class QWidget;

namespace qarvel::platform {

// Whether a window manager runs on the display of `window`, by the check that
// window managers publish (X11); elsewhere, or when it cannot be told, true.
bool WindowManagerRuns(QWidget* window);

// Whether the window system shows a top-level window only inside its shape
// (an X server without a compositing manager, and the offscreen platform).
// Elsewhere (Wayland, an X server drawn by a compositor as under XWayland) a
// rounded window must be translucent and paint its own rounded panel.
bool WindowSystemShapesWindows();

} // namespace qarvel::platform
