#pragma once

#include <cstdint>
#include <deque>

namespace qarvel::platform {

// What a key message of Windows is, as far as typing goes.
enum class WindowsKeyKind : std::uint8_t {
    NotAKey,   // any other message
    RealPress, // a key press the keyboard made (VK_PROCESSKEY included: an input
               // method took the key)
    RealOther, // a key release or a character of a real key
    NotTyped,  // a key message no key press made: another program posted it
};

// Window messages and the virtual key an input method leaves in a key message
// it takes (the system's numbers).
namespace winmsg {
inline constexpr unsigned KeyDown = 0x0100;
inline constexpr unsigned KeyUp = 0x0101;
inline constexpr unsigned Char = 0x0102;
inline constexpr unsigned DeadChar = 0x0103;
inline constexpr unsigned SysKeyDown = 0x0104;
inline constexpr unsigned SysKeyUp = 0x0105;
inline constexpr unsigned SysChar = 0x0106;
inline constexpr unsigned SysDeadChar = 0x0107;
inline constexpr unsigned UniChar = 0x0109;
inline constexpr unsigned ProcessKey = 0xE5; // VK_PROCESSKEY
} // namespace winmsg

// Matches the key messages a window receives with the key events the keyboard
// hook saw (WH_KEYBOARD_LL, which alone tells a key of the keyboard from one
// SendInput made: LLKHF_INJECTED). The hook drops injected keys at once; this
// tells a message that a key of the keyboard made from one another program
// posted straight to the window (PostMessage), which no hook sees:
//  - a key-down or key-up message counts when the hook saw a key event of the
//    same scan code, pressed or released alike, within kMatchMs and not yet
//    matched; an input method's VK_PROCESSKEY keeps the scan code;
//  - a character message counts when the key-down message before it counted
//    (the system makes characters from key-downs; a character an input method
//    sends comes as WM_IME_CHAR or a composition, which are not key messages).
class WindowsKeyLedger {
public:
    static constexpr std::uint32_t kMatchMs = 2000;
    static constexpr std::size_t kMaxSeen = 256;

    // Times are the system's millisecond tick (GetTickCount), which the hook's
    // events and the messages both carry, and which wraps after 49.7 days.
    // The hook saw a key of the keyboard (not injected) at `ms`.
    void HookSaw(unsigned scanCode, bool down, std::uint32_t ms);
    // A key message reached a window of the program, made at `ms`; `lParam`
    // as the message carries it (bits 16-23 the scan code).
    WindowsKeyKind Message(unsigned message, std::uintptr_t lParam, std::uint32_t ms);

private:
    struct Seen {
        unsigned scan;
        bool down;
        std::uint32_t ms;
    };
    std::deque<Seen> seen_;
    bool lastDownCounted_ = false;
};

} // namespace qarvel::platform
