#pragma once

#include <string>

namespace qarvel::app {

// Whether the windows can be opened, asked before the application object is
// made: Qt ends the process with abort() when its window system cannot be
// reached. Returns why not, in one line, or an empty string when they can or
// when the platform chosen (the "-platform" argument or QT_QPA_PLATFORM) is
// one that needs no X display (offscreen, wayland, a fallback list...).
// Only the X11 platform is checked: by connecting to the display once.
std::string DisplayProblem(int argc, char** argv);

} // namespace qarvel::app
