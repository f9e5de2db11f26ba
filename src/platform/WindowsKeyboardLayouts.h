#pragma once

#include "platform/KeyboardLayoutService.h"

#include <memory>

namespace qarvel::platform {

// Windows' own input methods: GetKeyboardLayoutList, ImmIsIME (imm32.dll,
// looked up at run time and only on a double-byte code page), the registry's
// "layout text" and ActivateKeyboardLayout. Built on Windows only.
std::unique_ptr<KeyboardLayoutService> MakeWindowsKeyboardLayouts();

} // namespace qarvel::platform
