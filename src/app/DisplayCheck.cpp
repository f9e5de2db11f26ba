#include "DisplayCheck.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string_view>

namespace qarvel::app {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The platform the program was told to use, by its arguments (as Qt reads
// them) or by the environment; empty for Qt's default.
std::string ChosenPlatform(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg == "--platform") {
            return argv[i + 1];
        }
    }
    return Environment("QT_QPA_PLATFORM");
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Connects to the X display `display` and lets it go again. libxcb is the one
// Qt's X11 plug-in loads; the program itself is not linked with it. Returns
// true also when the library is missing: the plug-in says so itself then.
bool DisplayOpens(const std::string& display) {
    void* library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        return true;
    }
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(library, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(library, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(library, "xcb_disconnect"));
    bool opens = true;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void* connection = connect(display.c_str(), nullptr);
        opens = hasError(connection) == 0;
        disconnect(connection); // also frees a connection that failed
    }
    dlclose(library);
    return opens;
}

} // namespace

std::string DisplayProblem(int argc, char** argv) {
    const std::string platform = ChosenPlatform(argc, argv);
    const std::string display = Environment("DISPLAY");
    const std::string wayland = Environment("WAYLAND_DISPLAY");
    if (platform.empty()) {
        // Qt's default here is X11, unless the session says Wayland.
        if (!wayland.empty() && Environment("XDG_SESSION_TYPE") == "wayland") {
            return {};
        }
        if (display.empty()) {
            return wayland.empty() ? "no display to open the windows on (neither DISPLAY nor "
                                     "WAYLAND_DISPLAY is set); start it from a graphical desktop"
                                   : "DISPLAY is not set; for Wayland set QT_QPA_PLATFORM=wayland";
        }
    } else if (!StartsWith(platform, "xcb") || platform.find(';') != std::string::npos) {
        return {}; // another platform, or fallbacks chosen on purpose: Qt's business
    } else if (display.empty()) {
        return "no X display to open the windows on: DISPLAY is not set";
    }
    if (!DisplayOpens(display)) {
        return "cannot open the X display \"" + display + "\"";
    }
    return {};
}

} // namespace qarvel::app
