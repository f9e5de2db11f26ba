#pragma once

#include <memory>
#include <string>

namespace qarvel::platform {
class SharedLibrary;
}

namespace qarvel::app {

// Whether the windows can be opened, asked before the application object is
// made: Qt ends the process with abort() when its window system cannot be
// reached. problem() says why not, in one line, or is empty when they can or
// when the platform chosen (the "-platform" argument or QT_QPA_PLATFORM) is
// one that needs no X display (offscreen, wayland, a fallback list...).
//
// Only the X11 platform is checked, by connecting to the display (on Windows
// the windows can always be opened). The probe
// keeps its connection until it is destroyed: an X server whose last client
// goes away resets itself, and would refuse the program's own connection for
// that moment. Destroy it once the application object is made.
class DisplayProbe {
public:
    DisplayProbe(int argc, char** argv);
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    [[nodiscard]] const std::string& problem() const { return problem_; }

private:
    // Connects to `display`; false when that fails.
    bool Connect(const std::string& display);

    std::string problem_;
    std::unique_ptr<platform::SharedLibrary> library_; // libxcb, when loaded here
    void (*disconnect_)(void*) = nullptr;
    void* connection_ = nullptr; // the probe's connection, kept open
};

} // namespace qarvel::app
