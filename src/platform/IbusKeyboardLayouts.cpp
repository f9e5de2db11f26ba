#include "IbusKeyboardLayouts.h"

#include "platform/DBusCalls.h"
#include "platform/GbkText.h"
#include "platform/IbusEngineSettings.h"

#include <QDBusArgument>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QStandardPaths>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#endif

namespace qarvel::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.IBus");
const QString kPath = QStringLiteral("/org/freedesktop/IBus");
const QString kInterface = QStringLiteral("org.freedesktop.IBus");

QDBusMessage IbusCall(const QString& method, const QVariantList& arguments = {}) {
    return dbus::MethodCall(kService, kPath, kInterface, method, arguments);
}

// The address file of the ibus-daemon serving this display, where ibus and
// Qt's ibus plug-in look for it.
QString AddressFilePath() {
    const QString explicitPath = qEnvironmentVariable("IBUS_ADDRESS_FILE");
    if (!explicitPath.isEmpty()) {
        return explicitPath;
    }
    QString host = QStringLiteral("unix");
    QString number = QStringLiteral("0");
    if (const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY"); !wayland.isEmpty()) {
        number = wayland;
    } else {
        const QString display = qEnvironmentVariable("DISPLAY"); // [host]:number[.screen]
        const auto colon = display.indexOf(QLatin1Char(':'));
        if (colon > 0) {
            host = display.left(colon);
        }
        if (colon >= 0) {
            number = display.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
        }
    }
    const QString machineId = QString::fromLatin1(QDBusConnection::localMachineId()).trimmed();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ibus/bus/") + machineId + QLatin1Char('-') + host + QLatin1Char('-') +
           number;
}

bool ProcessRuns(qint64 pid) {
    if (pid <= 0) {
        return false;
    }
#ifdef Q_OS_UNIX
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#else
    return true;
#endif
}

} // namespace

std::optional<QString> IbusKeyboardLayouts::BusAddress() {
    const QString fromEnvironment = qEnvironmentVariable("IBUS_ADDRESS");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    QFile file(AddressFilePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    QString address;
    qint64 pid = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("IBUS_ADDRESS="))) {
            address = line.mid(13);
        } else if (line.startsWith(QLatin1String("IBUS_DAEMON_PID="))) {
            pid = line.mid(16).toLongLong();
        }
    }
    // A file left behind by a daemon that has gone names a dead address.
    if (address.isEmpty() || !ProcessRuns(pid)) {
        return std::nullopt;
    }
    return address;
}

QStringList IbusKeyboardLayouts::ConfiguredEngines() {
    QStringList engines;
    for (const std::string& name : ConfiguredIbusEngines()) {
        engines.push_back(QString::fromStdString(name));
    }
    return engines;
}

std::unique_ptr<IbusKeyboardLayouts> IbusKeyboardLayouts::Load(const dbus::Deadline& deadline) {
    const std::optional<QString> address = BusAddress();
    if (!address || deadline.expired()) {
        return nullptr;
    }
    // One connection per address: a restarted daemon gets a fresh one.
    const QDBusConnection bus =
        QDBusConnection::connectToBus(*address, QStringLiteral("qarvel-ibus ") + *address);
    if (!bus.isConnected()) {
        return nullptr;
    }

    QStringList names = ConfiguredEngines();
    if (names.isEmpty()) {
        // Nothing configured: the engine in use is the one the user has.
        const auto current = dbus::CallBefore(
            bus,
            dbus::MethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                             QStringLiteral("Get"), {kInterface, QStringLiteral("GlobalEngine")}),
            deadline);
        if (current && !current->arguments().isEmpty()) {
            const QVariantList fields = dbus::ReadVariantStruct(current->arguments().constFirst());
            if (fields.size() > 2) {
                names.push_back(fields.at(2).toString());
            }
        }
    }

    std::vector<Engine> engines;
    for (const QString& name : names) {
        engines.push_back({name, std::nullopt});
    }
    if (!names.isEmpty()) {
        const auto reply =
            dbus::CallBefore(bus, IbusCall(QStringLiteral("GetEnginesByNames"), {names}), deadline);
        if (!reply || reply->arguments().isEmpty()) {
            return nullptr;
        }
        // av of IBusEngineDesc: ("IBusEngineDesc", a{sv}, name, longname, ...)
        const QVariant descs = reply->arguments().constFirst();
        if (descs.metaType() == QMetaType::fromType<QDBusArgument>()) {
            const auto arg = descs.value<QDBusArgument>();
            arg.beginArray();
            while (!arg.atEnd()) {
                QDBusVariant desc;
                arg >> desc;
                const QVariantList fields = dbus::ReadVariantStruct(QVariant::fromValue(desc));
                if (fields.size() < 4) {
                    continue;
                }
                const QString name = fields.at(2).toString();
                for (Engine& engine : engines) {
                    if (engine.name == name) {
                        const QString longName = fields.at(3).toString();
                        engine.longName = longName.isEmpty() ? name : longName;
                    }
                }
            }
            arg.endArray();
        }
    }
    return std::make_unique<IbusKeyboardLayouts>(bus, std::move(engines));
}

IbusKeyboardLayouts::IbusKeyboardLayouts(const QDBusConnection& bus, std::vector<Engine> engines)
    : bus_(bus), engines_(std::move(engines)) {}

// Handles are positions in the engine list, from 1.
const IbusKeyboardLayouts::Engine* IbusKeyboardLayouts::find(LayoutHandle layout) const {
    if (layout == 0 || layout > engines_.size()) {
        return nullptr;
    }
    return &engines_[layout - 1];
}

std::vector<LayoutHandle> IbusKeyboardLayouts::loadedLayouts(int capacity) {
    std::vector<LayoutHandle> handles;
    for (std::size_t i = 0; i < engines_.size() && static_cast<int>(i) < capacity; ++i) {
        handles.push_back(i + 1);
    }
    return handles;
}

bool IbusKeyboardLayouts::isInputMethod(LayoutHandle layout) {
    const Engine* engine = find(layout);
    return engine != nullptr && !engine->name.startsWith(QLatin1String("xkb:"));
}

std::optional<std::string> IbusKeyboardLayouts::layoutText(LayoutHandle layout) {
    const Engine* engine = find(layout);
    if (engine == nullptr || !engine->longName) {
        return std::nullopt;
    }
    return ToGbk(*engine->longName);
}

bool IbusKeyboardLayouts::activate(LayoutHandle layout) {
    const Engine* engine = find(layout);
    if (engine == nullptr || !bus_.isConnected()) {
        return false;
    }
    bus_.asyncCall(IbusCall(QStringLiteral("SetGlobalEngine"), {engine->name}));
    return true;
}

QString IbusKeyboardLayouts::engineName(LayoutHandle layout) const {
    const Engine* engine = find(layout);
    return engine != nullptr ? engine->name : QString();
}

} // namespace qarvel::platform
