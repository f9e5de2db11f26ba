#pragma once

#include "platform/KeyboardLayoutService.h"

#include <QDBusConnection>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace fcitx {
class FcitxQtControllerProxy;
class FcitxQtWatcher;
} // namespace fcitx

namespace qarvel::platform {

namespace dbus {
class Deadline;
}

class Fcitx5Activation;

// fcitx5 through its own Qt library: the controller proxy
// (org.fcitx.Fcitx.Controller1 at /controller) and the service watcher. The
// loaded layouts are the input methods of fcitx5's current group (the first of
// its groups), in group order; its keyboard layouts ("keyboard-*") are not
// input methods; display names come from AvailableInputMethods. A call goes
// out only while the watcher sees fcitx5 on the bus: a call to a service that
// is not running would let the bus start it.
//
// Activation uses SetCurrentIM, which fcitx5 applies to its focused (or most
// recently focused) input context. So that this is the program's own context,
// the call goes out only while the program holds the keyboard focus, on the
// same D-Bus connection as Qt's fcitx5 plug-in ("fcitx"): the plug-in's
// FocusIn for our window then reaches fcitx5 before the switch. The choice is
// remembered until fcitx5 reports it current while a widget that accepts input
// methods has the focus; until then it is applied again whenever the focus
// moves, the program becomes active, or a widget turns writable or enabled.
// A choice made while the answer box is read-only or disabled thus takes
// effect on our context at once (fcitx5 acts on the most recent context even
// when none is focused) and is confirmed once the box accepts input again.
class Fcitx5KeyboardLayouts final : public KeyboardLayoutService {
public:
    struct InputMethod {
        QString uniqueName;                 // "pinyin", "keyboard-us", ...
        std::optional<QString> displayName; // "Pinyin"; nullopt when fcitx5 has none
    };

    // Reads the current group from the fcitx5 on `bus`; nullptr when fcitx5
    // does not run there or does not answer within the deadline.
    static std::unique_ptr<Fcitx5KeyboardLayouts> Load(const QDBusConnection& bus,
                                                       const dbus::Deadline& deadline);

    Fcitx5KeyboardLayouts(std::unique_ptr<fcitx::FcitxQtWatcher> watcher,
                          std::unique_ptr<fcitx::FcitxQtControllerProxy> controller,
                          std::vector<InputMethod> group);
    ~Fcitx5KeyboardLayouts() override;

    const char* backendName() const override { return "fcitx5"; }
    std::vector<LayoutHandle> loadedLayouts(int capacity) override;
    bool isInputMethod(LayoutHandle layout) override;
    std::optional<std::string> layoutText(LayoutHandle layout) override;
    bool activate(LayoutHandle layout) override;

    // fcitx5's name for the layout ("" for an unknown handle).
    QString uniqueName(LayoutHandle layout) const;
    // True while a choice waits to be confirmed by fcitx5.
    bool activationPending() const;

private:
    const InputMethod* find(LayoutHandle layout) const;

    std::unique_ptr<fcitx::FcitxQtWatcher> watcher_;
    std::unique_ptr<fcitx::FcitxQtControllerProxy> controller_;
    std::vector<InputMethod> group_;
    std::unique_ptr<Fcitx5Activation> activation_;
};

} // namespace qarvel::platform
