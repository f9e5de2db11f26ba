#include "RealKeyPresses.h"

#include "X11KeyEvents.h"

#include <utility>

namespace qarvel::platform {

bool WatchRealKeyPresses(std::function<void(std::uintptr_t window)> onRealKeyPress) {
    return WatchX11Keys(
        [report = std::move(onRealKeyPress)](std::uint32_t window) { report(window); });
}

} // namespace qarvel::platform
