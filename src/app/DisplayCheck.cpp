#include "DisplayCheck.h"

#include "platform/SharedLibrary.h"

#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace qarvel::app {
namespace {

using Connector = void* (*)(const char*, int*);
using ErrorOf = int (*)(void*);

constexpr int kAttempts = 5;

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

} // namespace

DisplayProbe::DisplayProbe(int argc, char** argv) {
    const std::string platform = ChosenPlatform(argc, argv);
    const std::string display = Environment("DISPLAY");
    const std::string wayland = Environment("WAYLAND_DISPLAY");
    if (platform.empty()) {
        // Qt's default here is X11, unless the session says Wayland.
        if (!wayland.empty() && Environment("XDG_SESSION_TYPE") == "wayland") {
            return;
        }
        if (display.empty()) {
            problem_ = wayland.empty()
                           ? "no display to open the windows on (neither DISPLAY nor "
                             "WAYLAND_DISPLAY is set); start it from a graphical desktop"
                           : "DISPLAY is not set; for Wayland set QT_QPA_PLATFORM=wayland";
            return;
        }
    } else if (!StartsWith(platform, "xcb") || platform.find(';') != std::string::npos) {
        return; // another platform, or fallbacks chosen on purpose: Qt's business
    } else if (display.empty()) {
        problem_ = "no X display to open the windows on: DISPLAY is not set";
        return;
    }
    if (!Connect(display)) {
        problem_ = "cannot open the X display \"" + display + "\"";
    }
}

DisplayProbe::~DisplayProbe() {
    if (connection_ != nullptr) {
        disconnect_(connection_);
    }
}

// libxcb is the one Qt's X11 plug-in loads; the program itself is not linked
// with it. Without the library the plug-in cannot start either, and says so.
bool DisplayProbe::Connect(const std::string& display) {
    library_ = std::make_unique<platform::SharedLibrary>("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    Connector connect = nullptr;
    ErrorOf errorOf = nullptr;
    if (!library_->find(connect, "xcb_connect") ||
        !library_->find(errorOf, "xcb_connection_has_error") ||
        !library_->find(disconnect_, "xcb_disconnect")) {
        return true;
    }
    // A server resetting after its last client left refuses connections for a
    // moment: a few tries before giving up.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        connection_ = connect(display.c_str(), nullptr);
        if (errorOf(connection_) == 0) {
            return true;
        }
        disconnect_(connection_); // frees a failed connection too
        connection_ = nullptr;
    }
    return false;
}

} // namespace qarvel::app
