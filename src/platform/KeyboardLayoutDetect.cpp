#include "platform/KeyboardLayoutService.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "platform/WindowsKeyboardLayouts.h"
#else
#include "platform/DBusCalls.h"
#include "platform/Fcitx5KeyboardLayouts.h"
#include "platform/IbusKeyboardLayouts.h"

#include <QDBusConnection>
#include <QFileInfo>
#endif

namespace qarvel::platform {

#ifndef Q_OS_WIN
namespace {

// The session bus, or a disconnected connection when there is none. Without
// an address libdbus would try to "autolaunch" a bus (running dbus-launch),
// which is slow and leaves a daemon behind; so an address must be known.
QDBusConnection SessionBus() {
    const QString& name = Fcitx5KeyboardLayouts::ConnectionName();
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
#endif

std::unique_ptr<KeyboardLayoutService>
DetectKeyboardLayoutService(std::chrono::milliseconds budget) {
#ifdef Q_OS_WIN
    (void)budget;
    return MakeWindowsKeyboardLayouts();
#else
    const dbus::Deadline deadline(budget);
    const QDBusConnection bus = SessionBus();
    if (bus.isConnected()) {
        if (dbus::NameHasOwner(bus, QStringLiteral("org.fcitx.Fcitx5"), deadline)) {
            if (auto fcitx5 = Fcitx5KeyboardLayouts::Load(bus, deadline)) {
                return fcitx5;
            }
        } else if (dbus::NameHasOwner(bus, QStringLiteral("org.freedesktop.IBus"), deadline)) {
            if (auto ibus = IbusKeyboardLayouts::Load(deadline)) {
                return ibus;
            }
        }
    }
    return std::make_unique<NoKeyboardLayouts>();
#endif
}

} // namespace qarvel::platform
