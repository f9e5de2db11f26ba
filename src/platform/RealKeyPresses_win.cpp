#include "RealKeyPresses.h"
#include "WindowsKeyLedger.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <windows.h>

namespace qarvel::platform {
namespace {

// What the keyboard hook and the program's own thread share.
struct Shared {
    std::mutex mutex;
    WindowsKeyLedger ledger;
};

Shared& Keys() {
    static Shared shared;
    return shared;
}

bool ProgramInFront() {
    DWORD process = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &process);
    return process == GetCurrentProcessId();
}

// Runs on the hook's own thread, before the system queues the key for any window.
LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if ((key->flags & LLKHF_INJECTED) != 0) {
            // SendInput's keys: while the program is in front, no window gets them.
            if (ProgramInFront()) {
                return 1;
            }
        } else {
            const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
            const std::lock_guard lock(Keys().mutex);
            Keys().ledger.HookSaw(static_cast<unsigned>(key->scanCode), down,
                                  static_cast<std::uint32_t>(key->time));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The hook lives on a thread that does nothing else, so that it always answers
// at once: Windows removes a low-level hook that keeps it waiting.
bool StartHookThread() {
    struct Start {
        std::mutex mutex;
        std::condition_variable done;
        bool answered = false;
        bool installed = false;
    };
    auto start = std::make_shared<Start>();
    std::thread([start] {
        HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
        {
            const std::lock_guard lock(start->mutex);
            start->answered = true;
            start->installed = hook != nullptr;
        }
        start->done.notify_all();
        if (hook == nullptr) {
            return;
        }
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
        UnhookWindowsHookEx(hook);
    }).detach();
    std::unique_lock lock(start->mutex);
    start->done.wait(lock, [&] { return start->answered; });
    return start->installed;
}

class KeyFilter : public QAbstractNativeEventFilter {
public:
    explicit KeyFilter(std::function<void(std::uintptr_t)> onPress)
        : onPress_(std::move(onPress)) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        if (eventType != "windows_generic_MSG") {
            return false;
        }
        const auto* msg = static_cast<const MSG*>(message);
        WindowsKeyKind kind = WindowsKeyKind::NotAKey;
        {
            const std::lock_guard lock(Keys().mutex);
            kind = Keys().ledger.Message(msg->message, static_cast<std::uintptr_t>(msg->lParam),
                                         static_cast<std::uint32_t>(msg->time));
        }
        switch (kind) {
        case WindowsKeyKind::NotTyped:
            return true; // posted by another program: Qt never sees it
        case WindowsKeyKind::RealPress:
            if (onPress_) {
                onPress_(reinterpret_cast<std::uintptr_t>(GetAncestor(msg->hwnd, GA_ROOT)));
            }
            return false;
        case WindowsKeyKind::RealOther:
        case WindowsKeyKind::NotAKey:
            return false;
        }
        return false;
    }

private:
    std::function<void(std::uintptr_t)> onPress_;
};

// Wine takes a key that its X input method (XIM) composes with away before
// any Windows program, keyboard hook included, sees it: there the keys that
// pay for an input method's commits are never reported.
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

bool WatchRealKeyPresses(std::function<void(std::uintptr_t window)> onRealKeyPress) {
    static bool installed = false;
    static bool reported = false;
    if (installed) {
        return reported;
    }
    auto* app = QCoreApplication::instance();
    if (app == nullptr || !StartHookThread()) {
        return false;
    }
    // Lives as long as the program: the application keeps filtering with it.
    static KeyFilter filter(std::move(onRealKeyPress));
    app->installNativeEventFilter(&filter);
    installed = true;
    reported = !UnderWine();
    return reported;
}

} // namespace qarvel::platform
