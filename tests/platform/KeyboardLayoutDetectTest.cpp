// Start-up without an input-method daemon: the list is empty, detection stays
// within its time budget, and no daemon gets started on the way. Each case runs
// this program again as a child ("--probe") in the environment under test, so
// the measured time includes connecting to the bus.

#include "platform/InputMethodList.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace qarvel::platform;

namespace {

// Child side: detect, build, print "<backend> <count> <milliseconds>".
int Probe(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QElapsedTimer timer;
    timer.start();
    const auto service = DetectKeyboardLayoutService();
    const InputMethodList list = BuildInputMethodList(*service);
    const double elapsedMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("%s %d %.2f\n", service->backendName(), list.count(), elapsedMs);
    return 0;
}

bool HasOwner(const QString& busAddress, const QString& name) {
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, QStringLiteral("owner-check"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner");
    call.setArguments({name});
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    QDBusConnection::disconnectFromBus(QStringLiteral("owner-check"));
    return !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

} // namespace

class KeyboardLayoutDetectTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void emptyListWithinBudget_data();
    void emptyListWithinBudget();
    void cleanupTestCase();

private:
    QTemporaryDir home_;
    QProcess bus_; // a private session bus with nothing on it
    QString busAddress_;
};

void KeyboardLayoutDetectTest::initTestCase() {
    QVERIFY(home_.isValid());
    const QString dbusDaemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (dbusDaemon.isEmpty()) {
        return; // the private-bus case skips
    }
    bus_.start(dbusDaemon, {"--session", "--nofork", "--print-address=1"});
    QVERIFY(bus_.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(bus_.canReadLine(), 5000);
    busAddress_ = QString::fromUtf8(bus_.readLine()).trimmed();
    QVERIFY(!busAddress_.isEmpty());
}

void KeyboardLayoutDetectTest::cleanupTestCase() {
    if (bus_.state() != QProcess::NotRunning) {
        bus_.terminate();
        if (!bus_.waitForFinished(3000)) {
            bus_.kill();
            bus_.waitForFinished(3000);
        }
    }
}

void KeyboardLayoutDetectTest::emptyListWithinBudget_data() {
    QTest::addColumn<QString>("busAddress"); // "" unsets it; "private" is the test's own bus
    QTest::newRow("no bus at all") << QString();
    QTest::newRow("bus address of a bus that is gone")
        << QStringLiteral("unix:path=%1/no-such-bus").arg(home_.path());
    QTest::newRow("private bus, no daemon") << QStringLiteral("private");
}

void KeyboardLayoutDetectTest::emptyListWithinBudget() {
    QFETCH(QString, busAddress);
    if (busAddress == QLatin1String("private")) {
        if (busAddress_.isEmpty()) {
            QSKIP("dbus-daemon not installed");
        }
        busAddress = busAddress_;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "IBUS_ADDRESS", "IBUS_ADDRESS_FILE",
                             "DISPLAY", "WAYLAND_DISPLAY", "QT_IM_MODULE"}) {
        env.remove(QString::fromLatin1(name));
    }
    if (!busAddress.isEmpty()) {
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    }
    env.insert("HOME", home_.path());
    env.insert("XDG_CONFIG_HOME", home_.path() + "/config");
    env.insert("XDG_RUNTIME_DIR", home_.path()); // no "bus" socket in it
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QCoreApplication::applicationFilePath(), {"--probe"});
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitCode(), 0);
    const QStringList result = QString::fromUtf8(probe.readAllStandardOutput()).split(' ');
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0), QStringLiteral("none"));
    QCOMPARE(result.at(1), QStringLiteral("0"));
    const double ms = result.at(2).trimmed().toDouble();
    qInfo("%s: empty list after %.2f ms", QTest::currentDataTag(), ms);
    // Nothing waits for D-Bus's own 25-second timeout; the margin over the
    // budget is for a loaded machine.
    QVERIFY2(ms < static_cast<double>(kDetectBudget.count()) + 2000.0, qPrintable(result.at(2)));

    if (busAddress == busAddress_) {
        // Both daemons ship D-Bus service files; asking them would have let the
        // bus start one: none comes within half a second (the wait ends early if one does).
        const bool started = QTest::qWaitFor(
            [this] {
                return HasOwner(busAddress_, QStringLiteral("org.fcitx.Fcitx5")) ||
                       HasOwner(busAddress_, QStringLiteral("org.freedesktop.IBus"));
            },
            500);
        QVERIFY(!started);
    }
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--probe") == 0) {
        return Probe(argc, argv);
    }
    QCoreApplication app(argc, argv);
    KeyboardLayoutDetectTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "KeyboardLayoutDetectTest.moc"
