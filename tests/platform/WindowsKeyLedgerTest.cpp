// Which Windows key messages count as typed: those the keyboard hook saw a key
// of the keyboard make, the characters made from them, and nothing another
// program posts.
#include "platform/WindowsKeyLedger.h"

#include <QTest>
#include <vector>

using qarvel::platform::WindowsKeyKind;
using qarvel::platform::WindowsKeyLedger;
namespace msg = qarvel::platform::winmsg;

namespace {

// One step: the hook saw a key (message 0: down, 1: up), or a message arrived,
// with the kind expected of it.
struct Step {
    bool hook;
    unsigned message; // a window message, or for the hook 0 (down) / 1 (up)
    unsigned scan;
    std::uint32_t ms;
    WindowsKeyKind expected = WindowsKeyKind::NotAKey;
};

Step Hook(unsigned scan, bool down, std::uint32_t ms) {
    return {true, down ? 0u : 1u, scan, ms};
}
Step Msg(unsigned message, unsigned scan, std::uint32_t ms, WindowsKeyKind expected) {
    return {false, message, scan, ms, expected};
}

constexpr auto Real = WindowsKeyKind::RealPress;
constexpr auto Other = WindowsKeyKind::RealOther;
constexpr auto Posted = WindowsKeyKind::NotTyped;
constexpr auto None = WindowsKeyKind::NotAKey;

} // namespace

Q_DECLARE_METATYPE(std::vector<Step>)

class WindowsKeyLedgerTest : public QObject {
    Q_OBJECT

private slots:
    void messages_data() {
        QTest::addColumn<std::vector<Step>>("steps");
        // A letter typed: down, its character, up.
        QTest::newRow("key of the keyboard") << std::vector<Step>{
            Hook(30, true, 100), Msg(msg::KeyDown, 30, 100, Real), Msg(msg::Char, 30, 100, Other),
            Hook(30, false, 150), Msg(msg::KeyUp, 30, 150, Other)};
        // The input method took the key: the message says VK_PROCESSKEY, same scan code.
        QTest::newRow("key an input method took")
            << std::vector<Step>{Hook(49, true, 100), Msg(msg::KeyDown, 49, 100, Real)};
        QTest::newRow("Alt held") << std::vector<Step>{
            Hook(62, true, 10), Msg(msg::SysKeyDown, 62, 10, Real), Hook(62, false, 20),
            Msg(msg::SysKeyUp, 62, 20, Other)};
        // Another program posts straight to the window: no hook event.
        QTest::newRow("posted key") << std::vector<Step>{Msg(msg::KeyDown, 30, 100, Posted),
                                                         Msg(msg::Char, 30, 100, Posted)};
        QTest::newRow("posted character alone")
            << std::vector<Step>{Msg(msg::Char, 0, 100, Posted), Msg(msg::UniChar, 0, 100, Posted)};
        // One real key vouches for one message only.
        QTest::newRow("one key, two messages")
            << std::vector<Step>{Hook(30, true, 100), Msg(msg::KeyDown, 30, 100, Real),
                                 Msg(msg::KeyDown, 30, 101, Posted)};
        QTest::newRow("other scan code")
            << std::vector<Step>{Hook(31, true, 100), Msg(msg::KeyDown, 30, 100, Posted)};
        // A press does not vouch for a release, nor the other way round.
        QTest::newRow("release for press")
            << std::vector<Step>{Hook(30, false, 100), Msg(msg::KeyDown, 30, 100, Posted)};
        QTest::newRow("stale hook event") << std::vector<Step>{
            Hook(30, true, 100),
            Msg(msg::KeyDown, 30, 100 + WindowsKeyLedger::kMatchMs + 1, Posted)};
        // Keys typed ahead while the program is busy arrive late but in order.
        QTest::newRow("typed ahead") << std::vector<Step>{Hook(30, true, 100),
                                                          Hook(31, true, 110),
                                                          Hook(30, true, 120),
                                                          Msg(msg::KeyDown, 30, 100, Real),
                                                          Msg(msg::KeyDown, 31, 110, Real),
                                                          Msg(msg::KeyDown, 30, 120, Real)};
        QTest::newRow("across the tick's wrap")
            << std::vector<Step>{Hook(30, true, 0xFFFFFFF0u), Msg(msg::KeyDown, 30, 5, Real)};
        QTest::newRow("other messages") << std::vector<Step>{
            Msg(0x0200, 0, 1, None), Msg(0x0281, 0, 1, None), Msg(0x010F, 0, 1, None)};
    }

    void messages() {
        QFETCH(std::vector<Step>, steps);
        WindowsKeyLedger ledger;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Step& s = steps[i];
            if (s.hook) {
                ledger.HookSaw(s.scan, s.message == 0, s.ms);
                continue;
            }
            const std::uintptr_t lParam = std::uintptr_t{1} | std::uintptr_t{s.scan} << 16;
            QCOMPARE(static_cast<int>(ledger.Message(s.message, lParam, s.ms)),
                     static_cast<int>(s.expected));
        }
    }
};

QTEST_APPLESS_MAIN(WindowsKeyLedgerTest)
#include "WindowsKeyLedgerTest.moc"
