#include "WindowSystem.h"

namespace qarvel::platform {

// Windows moves a frameless window by its own move loop (Qt's startSystemMove)
// whatever else runs.
bool WindowManagerRuns(QWidget* /*window*/) {
    return true;
}

// A window region (SetWindowRgn, which Qt's setMask makes) cuts a top-level
// window's corners off on every Windows version; on Windows 11 the system's
// own rounded corners are not drawn for a window that has a region.
bool WindowSystemShapesWindows() {
    return true;
}

} // namespace qarvel::platform
