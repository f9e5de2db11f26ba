#include "WindowsKeyLedger.h"

#include <algorithm>

namespace qarvel::platform {

void WindowsKeyLedger::HookSaw(unsigned scanCode, bool down, std::uint32_t ms) {
    seen_.push_back({scanCode & 0xFFu, down, ms});
    while (seen_.size() > kMaxSeen) {
        seen_.pop_front();
    }
}

WindowsKeyKind WindowsKeyLedger::Message(unsigned message, std::uintptr_t lParam,
                                         std::uint32_t ms) {
    using namespace winmsg;
    const bool down = message == KeyDown || message == SysKeyDown;
    const bool up = message == KeyUp || message == SysKeyUp;
    if (!down && !up) {
        if (message == Char || message == DeadChar || message == SysChar ||
            message == SysDeadChar || message == UniChar) {
            return lastDownCounted_ ? WindowsKeyKind::RealOther : WindowsKeyKind::NotTyped;
        }
        return WindowsKeyKind::NotAKey;
    }
    // Differences taken modulo 2^32: right across the tick's wrap.
    while (!seen_.empty() &&
           static_cast<std::int32_t>(ms - seen_.front().ms) > static_cast<std::int32_t>(kMatchMs)) {
        seen_.pop_front();
    }
    const unsigned scan = static_cast<unsigned>(lParam >> 16) & 0xFFu;
    const auto match = std::find_if(seen_.begin(), seen_.end(), [&](const Seen& s) {
        return s.scan == scan && s.down == down;
    });
    const bool counted = match != seen_.end();
    if (counted) {
        seen_.erase(match);
    }
    if (down) {
        lastDownCounted_ = counted;
    }
    if (!counted) {
        return WindowsKeyKind::NotTyped;
    }
    return down ? WindowsKeyKind::RealPress : WindowsKeyKind::RealOther;
}

} // namespace qarvel::platform
