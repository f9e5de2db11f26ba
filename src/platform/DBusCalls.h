#pragma once

// Small helpers for the D-Bus input-method backends: a time budget that every
// call draws its timeout from, and readers for the structures they return.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <chrono>
#include <optional>

namespace qarvel::platform::dbus {

class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds budget) : budget_(budget.count()) {
        timer_.start();
    }
    // Milliseconds left, never negative.
    int remainingMs() const;
    bool expired() const { return remainingMs() == 0; }

private:
    QElapsedTimer timer_;
    qint64 budget_;
};

// A method call that never asks the bus to start the service: a daemon that
// isn't running stays that way.
QDBusMessage MethodCall(const QString& service, const QString& path, const QString& interface,
                        const QString& method, const QVariantList& arguments = {});

// A blocking call bounded by the deadline. nullopt on error, timeout or an
// expired deadline.
std::optional<QDBusMessage> CallBefore(const QDBusConnection& bus, const QDBusMessage& call,
                                       const Deadline& deadline);

// Asks the bus (not the service) whether `name` has an owner. False on any
// error or timeout.
bool NameHasOwner(const QDBusConnection& bus, const QString& name, const Deadline& deadline);

// The structure inside a variant (as in the "av" replies of ibus), read as
// the list of its fields; empty when it holds no structure.
QVariantList ReadVariantStruct(const QVariant& value);

} // namespace qarvel::platform::dbus
