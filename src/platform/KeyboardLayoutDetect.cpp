#include "platform/DBusCalls.h"
#include "platform/KeyboardLayoutService.h"
#ifdef QARVEL_WITH_FCITX5
#include "platform/Fcitx5KeyboardLayouts.h"
#endif
#ifdef QARVEL_WITH_IBUS
#include "platform/IbusKeyboardLayouts.h"
#endif

#include <QDBusConnection>
#include <QFileInfo>

namespace qarvel::platform {

namespace {

// The session bus, or a disconnected connection when there is none. Without
// an address libdbus would try to "autolaunch" a bus (running dbus-launch),
// which is slow and leaves a daemon behind; so an address must be known.
// The connection is the one Qt's fcitx5 plug-in uses (see
// Fcitx5KeyboardLayouts), shared on purpose.
QDBusConnection SessionBus() {
    const QString name = QStringLiteral("fcitx");
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }
    // The per-user bus of systemd sessions.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo::exists(runtimeDir + QStringLiteral("/bus"))) {
        return QDBusConnection::connectToBus(
            QStringLiteral("unix:path=") + runtimeDir + QStringLiteral("/bus"), name);
    }
    return QDBusConnection(name); // not connected
}

} // namespace

std::unique_ptr<KeyboardLayoutService>
DetectKeyboardLayoutService(std::chrono::milliseconds budget) {
    const dbus::Deadline deadline(budget);
    const QDBusConnection bus = SessionBus();
    if (bus.isConnected()) {
#ifdef QARVEL_WITH_FCITX5
        // Loads only when fcitx5 runs.
        if (auto fcitx5 = Fcitx5KeyboardLayouts::Load(bus, deadline)) {
            return fcitx5;
        }
#endif
#ifdef QARVEL_WITH_IBUS
        if (dbus::NameHasOwner(bus, QStringLiteral("org.freedesktop.IBus"), deadline)) {
            if (auto ibus = IbusKeyboardLayouts::Load(deadline)) {
                return ibus;
            }
        }
#endif
    }
    return std::make_unique<NoKeyboardLayouts>();
}

} // namespace qarvel::platform
