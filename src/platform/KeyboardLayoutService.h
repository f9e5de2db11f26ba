#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qarvel::platform {

// A keyboard layout loaded for input, as the platform names it: an HKL on
// Windows, a backend's own token elsewhere. Only meaningful to the service
// that handed it out.
using LayoutHandle = std::uintptr_t;

// Room the input-method list asks for: layouts beyond the first 64 are not
// considered.
inline constexpr int kMaxLoadedLayouts = 64;

// A layout's display name ("layout text") is read through a 256-byte buffer
// that also holds its terminating zero: at most 255 GBK bytes.
inline constexpr std::size_t kMaxLayoutTextBytes = 255;

// How long start-up may spend finding the input-method daemon and asking it
// for its input methods.
inline constexpr std::chrono::milliseconds kDetectBudget{300};

// What the input-method list needs of the platform. All calls are made on the
// user-interface thread.
class KeyboardLayoutService {
public:
    virtual ~KeyboardLayoutService() = default;

    // Short name of the backend ("fcitx5", "ibus", "windows", "none", ...),
    // for diagnostics and tests.
    virtual const char* backendName() const = 0;

    // The keyboard layouts currently loaded for input, in the platform's
    // order, at most `capacity` of them.
    virtual std::vector<LayoutHandle> loadedLayouts(int capacity) = 0;

    // Whether the layout belongs to an input method (as opposed to a plain
    // keyboard layout).
    virtual bool isInputMethod(LayoutHandle layout) = 0;

    // The layout's display name in GBK, whole (the list applies the 255-byte
    // limit); nullopt when the platform has no name for it.
    virtual std::optional<std::string> layoutText(LayoutHandle layout) = 0;

    // Makes the layout the active input method of this program. Returns false
    // when the request could not be made; success may take effect a moment
    // later (see the backends).
    virtual bool activate(LayoutHandle layout) = 0;
};

// Finds the input-method service of this desktop: Windows' own input methods;
// elsewhere fcitx5 or ibus, whichever is running (a daemon that is not running
// is never started); otherwise a service with no layouts. Spends at most about
// `budget` waiting for the daemon (every call carries a timeout).
std::unique_ptr<KeyboardLayoutService>
DetectKeyboardLayoutService(std::chrono::milliseconds budget = kDetectBudget);

// A service without layouts: the list is empty, nothing can be activated.
class NoKeyboardLayouts final : public KeyboardLayoutService {
public:
    const char* backendName() const override { return "none"; }
    std::vector<LayoutHandle> loadedLayouts(int) override { return {}; }
    bool isInputMethod(LayoutHandle) override { return false; }
    std::optional<std::string> layoutText(LayoutHandle) override { return std::nullopt; }
    bool activate(LayoutHandle) override { return false; }
};

} // namespace qarvel::platform
