#pragma once

#include <cstdint>
#include <functional>

namespace qarvel::platform {

// Watches the window system's key events before Qt or any input method sees
// them: key events another program makes are dropped (no text, no shortcut
// reaches a window), and every real key press is reported with the native
// window it went to (an X window, a Windows HWND). On X11 that is
// X11KeyEvents, on Windows a keyboard hook with WindowsKeyLedger. Returns
// false, and does nothing, where the window system does not tell (Wayland,
// offscreen); under Wine false too, though other programs' keys are dropped
// there as well: Wine's X input method takes the keys it composes with before
// any Windows program sees them. Installs once; later calls give the same answer.
bool WatchRealKeyPresses(std::function<void(std::uintptr_t window)> onRealKeyPress);

} // namespace qarvel::platform
