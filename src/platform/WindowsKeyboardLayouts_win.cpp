#include "WindowsKeyboardLayouts.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstdio>
#include <windows.h>

namespace qarvel::platform {

namespace {

using ImmIsImeFunction = BOOL(WINAPI*)(HKL);

HKL ToHkl(LayoutHandle layout) {
    return reinterpret_cast<HKL>(layout);
}

class WindowsKeyboardLayouts final : public KeyboardLayoutService {
public:
    WindowsKeyboardLayouts() {
        // Input methods count only on a double-byte system code page, and only
        // when imm32.dll and its ImmIsIME are there.
        CPINFO info{};
        if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2) {
            imm32_ = LoadLibraryA("imm32.dll");
            if (imm32_ != nullptr) {
                immIsIme_ = reinterpret_cast<ImmIsImeFunction>(
                    reinterpret_cast<void*>(GetProcAddress(imm32_, "ImmIsIME")));
            }
        }
    }

    ~WindowsKeyboardLayouts() override {
        if (imm32_ != nullptr) {
            FreeLibrary(imm32_);
        }
    }

    WindowsKeyboardLayouts(const WindowsKeyboardLayouts&) = delete;
    WindowsKeyboardLayouts& operator=(const WindowsKeyboardLayouts&) = delete;

    const char* backendName() const override { return "windows"; }

    std::vector<LayoutHandle> loadedLayouts(int capacity) override {
        if (capacity <= 0) {
            return {};
        }
        std::vector<HKL> buffer(static_cast<std::size_t>(capacity));
        const int count = GetKeyboardLayoutList(capacity, buffer.data());
        std::vector<LayoutHandle> handles;
        for (int i = 0; i < count && i < capacity; ++i) {
            handles.push_back(reinterpret_cast<LayoutHandle>(buffer[static_cast<std::size_t>(i)]));
        }
        return handles;
    }

    bool isInputMethod(LayoutHandle layout) override {
        return immIsIme_ != nullptr && immIsIme_(ToHkl(layout)) != FALSE;
    }

    std::optional<std::string> layoutText(LayoutHandle layout) override {
        char keyName[80];
        std::snprintf(keyName, sizeof keyName,
                      "System\\CurrentControlSet\\Control\\Keyboard Layouts\\%.8lX",
                      static_cast<unsigned long>(layout & 0xFFFFFFFFu));
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        BYTE buffer[256] = {};
        DWORD size = sizeof buffer;
        const LONG status = RegQueryValueExA(key, "layout text", nullptr, nullptr, buffer, &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return std::nullopt; // missing, or longer than the buffer
        }
        // The value's own terminating zero is not part of the name.
        if (size > 0 && buffer[size - 1] == 0) {
            --size;
        }
        return std::string(reinterpret_cast<const char*>(buffer), size);
    }

    bool activate(LayoutHandle layout) override {
        return ActivateKeyboardLayout(ToHkl(layout), KLF_ACTIVATE) != nullptr;
    }

private:
    HMODULE imm32_ = nullptr;
    ImmIsImeFunction immIsIme_ = nullptr;
};

} // namespace

std::unique_ptr<KeyboardLayoutService> MakeWindowsKeyboardLayouts() {
    return std::make_unique<WindowsKeyboardLayouts>();
}

} // namespace qarvel::platform
