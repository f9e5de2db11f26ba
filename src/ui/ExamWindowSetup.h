#pragma once

#include "MessageBoxes.h"
#include "exam/ExamClock.h"
#include "platform/KeyboardLayoutService.h"

#include <functional>
#include <memory>
#include <string>

namespace qarvel::ui {

// Everything the exam window is handed when it is made. The window reads no
// file and asks nothing of the program: whoever makes it (the program body,
// or a test) loads the source and chooses the services.
struct ExamWindowSetup {
    // The source text as loaded: GBK, every line break CR LF (exam/SourceFile).
    // Empty when there is none or it could not be read.
    std::string sourceText;
    // Where the window finds the desktop's input methods. Empty: the running
    // fcitx5 or ibus.
    std::function<std::unique_ptr<platform::KeyboardLayoutService>()> keyboardLayouts;
    // The monotonic clock that paces the exam's clock. Empty: the system's.
    exam::MonotonicClock clock;
    // Who answers the window's message boxes: the real dialogs unless a
    // responder is given.
    MessageBoxes boxes;
};

} // namespace qarvel::ui
