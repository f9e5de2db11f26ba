#include "X11KeyEvents.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstring>
#include <utility>

namespace qarvel::platform {
namespace {

// The X protocol's own layout of a key event (xcb_key_press_event_t), so that
// no X header is needed: response type, keycode, sequence, time, root, event.
constexpr std::uint8_t kKeyPress = 2;
constexpr std::uint8_t kKeyRelease = 3;
constexpr std::uint8_t kSentMark = 0x80;
constexpr std::size_t kEventWindowOffset = 12;

class KeyFilter : public QAbstractNativeEventFilter {
public:
    explicit KeyFilter(std::function<void(std::uint32_t)> onPress) : onPress_(std::move(onPress)) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        switch (ClassifyXcbEvent(message)) {
        case XKeyEventKind::Sent:
            return true; // dropped: Qt never sees it
        case XKeyEventKind::RealPress:
            if (onPress_) {
                onPress_(XcbKeyEventWindow(message));
            }
            return false;
        case XKeyEventKind::RealRelease:
        case XKeyEventKind::NotAKey:
            return false;
        }
        return false;
    }

private:
    std::function<void(std::uint32_t)> onPress_;
};

} // namespace

XKeyEventKind ClassifyXcbEvent(const void* event) {
    if (event == nullptr) {
        return XKeyEventKind::NotAKey;
    }
    const auto type = *static_cast<const std::uint8_t*>(event);
    const auto kind = static_cast<std::uint8_t>(type & ~kSentMark);
    if (kind != kKeyPress && kind != kKeyRelease) {
        return XKeyEventKind::NotAKey;
    }
    if ((type & kSentMark) != 0) {
        return XKeyEventKind::Sent;
    }
    return kind == kKeyPress ? XKeyEventKind::RealPress : XKeyEventKind::RealRelease;
}

std::uint32_t XcbKeyEventWindow(const void* event) {
    if (ClassifyXcbEvent(event) == XKeyEventKind::NotAKey) {
        return 0;
    }
    std::uint32_t window = 0;
    std::memcpy(&window, static_cast<const char*>(event) + kEventWindowOffset, sizeof window);
    return window;
}

bool WatchX11Keys(std::function<void(std::uint32_t)> onRealKeyPress) {
    static bool installed = false;
    if (installed) {
        return true;
    }
    auto* app = QCoreApplication::instance();
    if (app == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    // Lives as long as the program: the application keeps filtering with it.
    static KeyFilter filter(std::move(onRealKeyPress));
    app->installNativeEventFilter(&filter);
    installed = true;
    return true;
}

} // namespace qarvel::platform
