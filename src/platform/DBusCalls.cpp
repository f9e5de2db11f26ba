#include "DBusCalls.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <algorithm>

namespace qarvel::platform::dbus {

int Deadline::remainingMs() const {
    const qint64 left = budget_ - timer_.elapsed();
    return static_cast<int>(std::clamp<qint64>(left, 0, budget_));
}

QDBusMessage MethodCall(const QString& service, const QString& path, const QString& interface,
                        const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    return call;
}

std::optional<QDBusMessage> CallBefore(const QDBusConnection& bus, const QDBusMessage& call,
                                       const Deadline& deadline) {
    const int timeout = deadline.remainingMs();
    if (timeout <= 0 || !bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage reply = bus.call(call, QDBus::Block, timeout);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return std::nullopt;
    }
    return reply;
}

bool NameHasOwner(const QDBusConnection& bus, const QString& name, const Deadline& deadline) {
    const QDBusMessage call =
        MethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                   QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {name});
    const std::optional<QDBusMessage> reply = CallBefore(bus, call, deadline);
    return reply && !reply->arguments().isEmpty() && reply->arguments().constFirst().toBool();
}

namespace {

QVariantList ReadStructFields(const QDBusArgument& arg) {
    QVariantList fields;
    arg.beginStructure();
    while (!arg.atEnd()) {
        fields.push_back(arg.asVariant());
    }
    arg.endStructure();
    return fields;
}

} // namespace

QVariantList ReadVariantStruct(const QVariant& value) {
    // Unwrap variants (a property of type "v" arrives wrapped twice).
    QVariant inner = value;
    for (int depth = 0; depth < 4; ++depth) {
        if (inner.metaType() == QMetaType::fromType<QDBusVariant>()) {
            inner = inner.value<QDBusVariant>().variant();
            continue;
        }
        if (inner.metaType() != QMetaType::fromType<QDBusArgument>()) {
            return {};
        }
        const auto arg = inner.value<QDBusArgument>();
        if (arg.currentType() == QDBusArgument::VariantType) {
            QDBusVariant wrapped;
            arg >> wrapped;
            inner = wrapped.variant();
            continue;
        }
        if (arg.currentType() != QDBusArgument::StructureType) {
            return {};
        }
        return ReadStructFields(arg);
    }
    return {};
}

} // namespace qarvel::platform::dbus
