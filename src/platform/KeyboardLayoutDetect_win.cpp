#include "platform/KeyboardLayoutService.h"
#include "platform/WindowsKeyboardLayouts.h"

namespace qarvel::platform {

// Windows' own input methods are always there: nothing to wait for.
std::unique_ptr<KeyboardLayoutService>
DetectKeyboardLayoutService(std::chrono::milliseconds /*budget*/) {
    return MakeWindowsKeyboardLayouts();
}

} // namespace qarvel::platform
