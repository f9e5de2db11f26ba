// The ibus backend against a real ibus-daemon (preload-engines: xkb:us::eng,
// libpinyin) on a private session bus under Xvfb. Runs only inside
// tests/e2e/with-ibus.sh, which sets QARVEL_IBUS_SANDBOX; elsewhere it skips.

#include "platform/IbusKeyboardLayouts.h"

#include "SandboxSupport.h"
#include "platform/DBusCalls.h"
#include "platform/InputMethodList.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace qarvel::platform;

class IbusKeyboardLayoutsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listsConfiguredInputMethodsButNotKeyboards();
    void activationSwitchesTheEngineForTheAnswerBox();
    void choiceWhileReadOnlyHoldsWhenWritableAgain();
    void cleanupTestCase();

private:
    QString globalEngine() const;
    void setGlobalEngine(const QString& name) const;
    void typePinyin(const char* keys, const QString& hanzi);

    std::unique_ptr<KeyboardLayoutService> service_;
    IbusKeyboardLayouts* ibus_ = nullptr;
    InputMethodList list_;
    QDBusConnection bus_{QString()};
    QLineEdit* answer_ = nullptr;
};

void IbusKeyboardLayoutsTest::initTestCase() {
    if (qEnvironmentVariableIsEmpty("QARVEL_IBUS_SANDBOX")) {
        QSKIP("runs inside tests/e2e/with-ibus.sh only");
    }
    testing::DetectWithinBudget("ibus", service_, list_);
    if (QTest::currentTestFailed()) {
        return;
    }
    ibus_ = dynamic_cast<IbusKeyboardLayouts*>(service_.get());
    QVERIFY(ibus_ != nullptr);

    const auto address = IbusKeyboardLayouts::BusAddress();
    QVERIFY(address.has_value());
    bus_ = QDBusConnection::connectToBus(*address, QStringLiteral("ibus-test"));
    QVERIFY(bus_.isConnected());

    answer_ = new QLineEdit;
    answer_->resize(400, 40);
    answer_->show();
    answer_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(answer_));
    answer_->setFocus();
}

void IbusKeyboardLayoutsTest::cleanupTestCase() {
    delete answer_;
    answer_ = nullptr;
}

QString IbusKeyboardLayoutsTest::globalEngine() const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.IBus", "/org/freedesktop/IBus", "org.freedesktop.DBus.Properties", "Get");
    call.setArguments({QStringLiteral("org.freedesktop.IBus"), QStringLiteral("GlobalEngine")});
    const QDBusMessage reply = bus_.call(call, QDBus::Block, 2000);
    if (reply.arguments().isEmpty()) {
        return {};
    }
    const QVariantList desc = dbus::ReadVariantStruct(reply.arguments().constFirst());
    return desc.size() > 2 ? desc.at(2).toString() : QString();
}

void IbusKeyboardLayoutsTest::setGlobalEngine(const QString& name) const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.IBus", "/org/freedesktop/IBus", "org.freedesktop.IBus", "SetGlobalEngine");
    call.setArguments({name});
    bus_.call(call, QDBus::Block, 2000);
}

void IbusKeyboardLayoutsTest::typePinyin(const char* keys, const QString& hanzi) {
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xdotool.isEmpty()) {
        qWarning("xdotool missing: typing not checked");
        return;
    }
    const QString before = answer_->text();
    QProcess typing;
    typing.start(xdotool, {"type", "--delay", "30", QString::fromLatin1(keys)});
    QTRY_COMPARE_WITH_TIMEOUT(answer_->text(), before + hanzi, 10000);
    QVERIFY(typing.state() == QProcess::NotRunning || typing.waitForFinished(5000));
}

void IbusKeyboardLayoutsTest::listsConfiguredInputMethodsButNotKeyboards() {
    QCOMPARE(list_.count(), 1);
    QCOMPARE(list_.at(0).text, QStringLiteral("Intelligent Pinyin"));
    QCOMPARE(ibus_->engineName(list_.at(0).layout), QStringLiteral("libpinyin"));

    const std::vector<LayoutHandle> loaded = ibus_->loadedLayouts(kMaxLoadedLayouts);
    QCOMPARE(loaded.size(), std::size_t{2});
    QCOMPARE(ibus_->engineName(loaded[0]), QStringLiteral("xkb:us::eng"));
    QVERIFY(!ibus_->isInputMethod(loaded[0]));
}

void IbusKeyboardLayoutsTest::activationSwitchesTheEngineForTheAnswerBox() {
    setGlobalEngine(QStringLiteral("xkb:us::eng"));
    QTRY_COMPARE(globalEngine(), QStringLiteral("xkb:us::eng"));
    QVERIFY(list_.activate(0));
    QTRY_COMPARE(globalEngine(), QStringLiteral("libpinyin"));
    typePinyin("nihao ", QStringLiteral("你好"));
}

void IbusKeyboardLayoutsTest::choiceWhileReadOnlyHoldsWhenWritableAgain() {
    setGlobalEngine(QStringLiteral("xkb:us::eng"));
    QTRY_COMPARE(globalEngine(), QStringLiteral("xkb:us::eng"));
    answer_->setReadOnly(true);
    QVERIFY(list_.activate(0));
    QTRY_COMPARE(globalEngine(), QStringLiteral("libpinyin"));
    answer_->setReadOnly(false);
    typePinyin("nihao ", QStringLiteral("你好"));
}

QTEST_MAIN(IbusKeyboardLayoutsTest)
#include "IbusKeyboardLayoutsTest.moc"
