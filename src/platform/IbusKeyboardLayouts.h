#pragma once

#include "platform/KeyboardLayoutService.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace qarvel::platform {

namespace dbus {
class Deadline;
}

// ibus over its own bus (the address from IBUS_ADDRESS or the address file
// ibus-daemon writes under ~/.config/ibus/bus). The loaded layouts are the
// engines the user has set up (the preload-engines setting of ibus, or else
// GNOME's ibus input sources, read through GSettings), in that order; keyboard engines ("xkb:*")
// are not input methods; display names are the engines' long names. Activation is SetGlobalEngine,
// which ibus applies to every input context of the desktop, focused or not, so a choice made while
// the answer box is read-only or disabled holds when it takes input again.
class IbusKeyboardLayouts final : public KeyboardLayoutService {
public:
    struct Engine {
        QString name;                    // "libpinyin", "xkb:us::eng", ...
        std::optional<QString> longName; // "Intelligent Pinyin"; nullopt when unknown
    };

    // The address of the running ibus-daemon's bus, or nullopt when there is
    // none (no address, or the daemon named in the address file is gone).
    static std::optional<QString> BusAddress();

    // The engines the user has set up, from the settings; empty when none.
    static QStringList ConfiguredEngines();

    // Connects to ibus and reads the engines; nullptr when ibus does not
    // answer within the deadline.
    static std::unique_ptr<IbusKeyboardLayouts> Load(const dbus::Deadline& deadline);

    IbusKeyboardLayouts(const QDBusConnection& bus, std::vector<Engine> engines);

    const char* backendName() const override { return "ibus"; }
    std::vector<LayoutHandle> loadedLayouts(int capacity) override;
    bool isInputMethod(LayoutHandle layout) override;
    std::optional<std::string> layoutText(LayoutHandle layout) override;
    bool activate(LayoutHandle layout) override;

    // ibus's name for the layout ("" for an unknown handle).
    QString engineName(LayoutHandle layout) const;

private:
    const Engine* find(LayoutHandle layout) const;

    QDBusConnection bus_;
    std::vector<Engine> engines_;
};

} // namespace qarvel::platform
