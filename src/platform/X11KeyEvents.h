#pragma once

#include <cstdint>
#include <functional>

namespace qarvel::platform {

// What one event of the X server is, as far as keys go.
enum class XKeyEventKind : std::uint8_t {
    NotAKey,     // any other event
    RealPress,   // a key press from the server's own keyboard handling
    RealRelease, // a key release from it
    Sent,        // a key press or release another program sent (XSendEvent)
};

// Reads an xcb event (xcb_generic_event_t). Events that another program sends
// carry the server's send_event mark (the top bit of the response type); the
// keyboard, XTest and kernel input devices (uinput) all come without it.
XKeyEventKind ClassifyXcbEvent(const void* event);

// The X window a key event went to; 0 for other events.
std::uint32_t XcbKeyEventWindow(const void* event);

// Watches the key events of the program's X connection, before Qt or any input
// method sees them: key events sent by other programs are dropped (no text, no
// shortcut reaches a window), and every real key press is reported with the X
// window it went to. Returns false, and does nothing, where the program does not
// run on X11 (Wayland, offscreen): there no key event is seen before the input
// method takes it. Installs once; later calls only say whether it is installed.
bool WatchX11Keys(std::function<void(std::uint32_t window)> onRealKeyPress);

} // namespace qarvel::platform
