// The fcitx5 backend against a real fcitx5 (group: keyboard-us, pinyin) on a
// private session bus under Xvfb. Runs only inside tests/e2e/with-fcitx5.sh,
// which sets QARVEL_FCITX5_SANDBOX; elsewhere it skips, so it never touches a
// user's own fcitx5.

#include "platform/Fcitx5KeyboardLayouts.h"

#include "SandboxSupport.h"
#include "platform/InputMethodList.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVBoxLayout>

using namespace qarvel::platform;

namespace {

QDBusMessage Controller(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall("org.fcitx.Fcitx5", "/controller",
                                                       "org.fcitx.Fcitx.Controller1", method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    return call;
}

QString CurrentInputMethod() {
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(Controller("CurrentInputMethod"), QDBus::Block, 2000);
    return reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
}

int State() {
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(Controller("State"), QDBus::Block, 2000);
    return reply.arguments().isEmpty() ? -1 : reply.arguments().constFirst().toInt();
}

void SetCurrentInputMethod(const QString& name) {
    QDBusConnection::sessionBus().call(Controller("SetCurrentIM", {name}), QDBus::Block, 2000);
}

} // namespace

class Fcitx5KeyboardLayoutsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listsPinyinButNotKeyboardLayouts();
    void activationReachesTheFocusedAnswerBox();
    void choiceFromAPopupMenuReachesTheAnswerBox();
    void choiceWhileReadOnlyHoldsWhenWritableAgain();
    void choiceWhileDisabledHoldsWhenEnabledAgain();
    void unknownLayoutIsNotActivated();
    void cleanupTestCase();

private:
    // Back to the plain keyboard, with the answer box focused and taking input.
    void resetToKeyboard();
    // Types pinyin with the real keyboard and expects `hanzi` to be committed.
    void typePinyin(const char* keys, const QString& hanzi);

    std::unique_ptr<KeyboardLayoutService> service_;
    Fcitx5KeyboardLayouts* fcitx5_ = nullptr;
    InputMethodList list_;
    int pinyin_ = -1;
    QWidget* window_ = nullptr;
    QLineEdit* answer_ = nullptr;
};

void Fcitx5KeyboardLayoutsTest::initTestCase() {
    if (qEnvironmentVariableIsEmpty("QARVEL_FCITX5_SANDBOX")) {
        QSKIP("runs inside tests/e2e/with-fcitx5.sh only");
    }
    testing::DetectWithinBudget("fcitx5", service_, list_);
    if (QTest::currentTestFailed()) {
        return;
    }
    fcitx5_ = dynamic_cast<Fcitx5KeyboardLayouts*>(service_.get());
    QVERIFY(fcitx5_ != nullptr);

    window_ = new QWidget;
    answer_ = new QLineEdit(window_);
    auto* other = new QLineEdit(window_); // somewhere for the focus to go
    auto* layout = new QVBoxLayout(window_);
    layout->addWidget(answer_);
    layout->addWidget(other);
    window_->resize(400, 120);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    answer_->setFocus();
    // fcitx5 knows our input context once it reports one focused.
    QTRY_VERIFY_WITH_TIMEOUT(State() > 0, 5000);
}

void Fcitx5KeyboardLayoutsTest::cleanupTestCase() {
    delete window_;
    window_ = nullptr;
}

void Fcitx5KeyboardLayoutsTest::listsPinyinButNotKeyboardLayouts() {
    QCOMPARE(list_.count(), 1);
    QCOMPARE(list_.at(0).text, QStringLiteral("Pinyin"));
    QCOMPARE(fcitx5_->uniqueName(list_.at(0).layout), QStringLiteral("pinyin"));
    pinyin_ = 0;

    // keyboard-us is loaded (first in the group) but is no input method.
    const std::vector<LayoutHandle> loaded = fcitx5_->loadedLayouts(kMaxLoadedLayouts);
    QCOMPARE(loaded.size(), std::size_t{2});
    QCOMPARE(fcitx5_->uniqueName(loaded[0]), QStringLiteral("keyboard-us"));
    QVERIFY(!fcitx5_->isInputMethod(loaded[0]));
    QVERIFY(fcitx5_->isInputMethod(loaded[1]));
}

void Fcitx5KeyboardLayoutsTest::resetToKeyboard() {
    answer_->setReadOnly(false);
    answer_->setEnabled(true);
    answer_->setFocus();
    answer_->clear();
    QTRY_VERIFY(answer_->hasFocus());
    SetCurrentInputMethod(QStringLiteral("keyboard-us"));
    QTRY_COMPARE(CurrentInputMethod(), QStringLiteral("keyboard-us"));
}

void Fcitx5KeyboardLayoutsTest::typePinyin(const char* keys, const QString& hanzi) {
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xdotool.isEmpty()) {
        qWarning("xdotool missing: typing not checked");
        return;
    }
    const QString before = answer_->text();
    QProcess typing;
    typing.start(xdotool, {"type", "--delay", "20", QString::fromLatin1(keys)});
    QTRY_COMPARE_WITH_TIMEOUT(answer_->text(), before + hanzi, 10000);
    QVERIFY(typing.state() == QProcess::NotRunning || typing.waitForFinished(5000));
    QCOMPARE(typing.exitCode(), 0);
}

void Fcitx5KeyboardLayoutsTest::activationReachesTheFocusedAnswerBox() {
    QVERIFY(pinyin_ >= 0);
    resetToKeyboard();
    QVERIFY(list_.activate(pinyin_));
    QTRY_COMPARE(CurrentInputMethod(), QStringLiteral("pinyin"));
    QTRY_VERIFY(!fcitx5_->activationPending());
    QVERIFY(answer_->hasFocus());
    typePinyin("nihao ", QStringLiteral("你好"));
}

void Fcitx5KeyboardLayoutsTest::choiceFromAPopupMenuReachesTheAnswerBox() {
    // As in the exam window: the menu pops up over the window, takes the
    // keyboard while open, and the choice arrives as it closes.
    QVERIFY(pinyin_ >= 0);
    resetToKeyboard();
    QMenu menu(window_);
    QAction* item = menu.addAction(list_.at(pinyin_).text);
    QObject::connect(item, &QAction::triggered, this, [this] { list_.activate(pinyin_); });
    menu.popup(window_->mapToGlobal(QPoint(20, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTRY_COMPARE(QGuiApplication::focusWindow(), menu.windowHandle()); // it has the keyboard
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
    QTRY_VERIFY(!menu.isVisible());
    QTRY_COMPARE(CurrentInputMethod(), QStringLiteral("pinyin"));
    QTRY_VERIFY(!fcitx5_->activationPending());
    QVERIFY(answer_->hasFocus());
    typePinyin("nihao ", QStringLiteral("你好"));
}

void Fcitx5KeyboardLayoutsTest::choiceWhileReadOnlyHoldsWhenWritableAgain() {
    QVERIFY(pinyin_ >= 0);
    resetToKeyboard();
    answer_->setReadOnly(true);
    QVERIFY(list_.activate(pinyin_));
    // fcitx5 has the choice; while the box takes no text the choice is held.
    QTRY_COMPARE(CurrentInputMethod(), QStringLiteral("pinyin"));
    QVERIFY(fcitx5_->activationPending());

    answer_->setReadOnly(false);
    QTRY_VERIFY(!fcitx5_->activationPending());
    QCOMPARE(CurrentInputMethod(), QStringLiteral("pinyin"));
    typePinyin("nihao ", QStringLiteral("你好"));
}

void Fcitx5KeyboardLayoutsTest::choiceWhileDisabledHoldsWhenEnabledAgain() {
    QVERIFY(pinyin_ >= 0);
    resetToKeyboard();
    answer_->setEnabled(false); // the focus moves on to the other box
    QTRY_VERIFY(!answer_->hasFocus());
    QVERIFY(list_.activate(pinyin_));
    QTRY_COMPARE(CurrentInputMethod(), QStringLiteral("pinyin")); // fcitx5 has the choice

    answer_->setEnabled(true);
    answer_->setFocus();
    QTRY_VERIFY(!fcitx5_->activationPending());
    QTRY_COMPARE(CurrentInputMethod(), QStringLiteral("pinyin"));
    typePinyin("nihao ", QStringLiteral("你好"));
}

void Fcitx5KeyboardLayoutsTest::unknownLayoutIsNotActivated() {
    QVERIFY(!fcitx5_->activate(0));
    QVERIFY(!fcitx5_->activate(99));
}

QTEST_MAIN(Fcitx5KeyboardLayoutsTest)
#include "Fcitx5KeyboardLayoutsTest.moc"
