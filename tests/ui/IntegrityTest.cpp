// A careless or dishonest examinee at the real exam window: seeded random events
// (typing, input-method commits and pre-edits, every caret and clipboard key,
// the mouse in both views, pause, continue, the clock up to time-up, Tab into
// the source view and typing there, and edit requests through both views'
// accessibility interfaces), with the exam's integrity checked after each one:
//  - the caret is at the end of the answer and nothing is selected;
//  - no count exceeds the characters standing correctly in the answer, and
//    Label8 and Label10 show the counts; Label12 lies within 0..100;
//  - the answer box is disabled only when every Chinese character of the source
//    stands correctly in the answer (a source without any: after a change);
//  - nothing changes the answer or a count while the box is read-only or disabled;
//  - the source view shows exactly the source, to readers too;
//  - a commit with no real key press before it adds at most the one character
//    that may follow a phrase on the same key; key events another program sent
//    (X11's send_event) change nothing.
// A failure prints the seed and the shortest event list found that still fails.
//
// QARVEL_INTEGRITY_EVENTS sets the number of events (20000 by default, a few
// seconds; 100000 or more for a long run), QARVEL_INTEGRITY_SEED the seed.
#include "UiTestSupport.h"
#include "exam/ExamClock.h"
#include "platform/GbkText.h"
#include "platform/X11KeyEvents.h"
#include "ui/AnswerEdit.h"
#include "ui/ExamWindow.h"
#include "ui/SourceView.h"

#include <QAccessible>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QtTest>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;

namespace {

enum class Kind { NewWindow, Key, Commit, Preedit, Mouse, Pause, Continue, Tick, Access, SentKey };

struct Event {
    Event(Kind k = Kind::Key, int a_ = 0, int b_ = 0, int c_ = 0, int d_ = 0, QString t = {})
        : kind(k), a(a_), b(b_), c(c_), d(d_), text(std::move(t)) {}
    Kind kind;
    int a; // key, source, mouse gesture, seconds, request; commit: after a real key press
    int b; // modifiers, target view
    int c; // replacement start, offsets, points
    int d;
    QString text;
};

QString Describe(const Event& e) {
    static const char* const names[] = {"NewWindow", "Key",      "Commit", "Preedit", "Mouse",
                                        "Pause",     "Continue", "Tick",   "Access",  "SentKey"};
    return QStringLiteral("%1(%2,%3,%4,%5,\"%6\")")
        .arg(QLatin1String(names[static_cast<int>(e.kind)]))
        .arg(e.a)
        .arg(e.b)
        .arg(e.c)
        .arg(e.d)
        .arg(e.text);
}

std::string SampleSource() {
    QFile file(qEnvironmentVariable("QARVEL_SOURCE_DIR") + QStringLiteral("/vexo/2.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return Gbk("秋天的校园\r\n2026年的秋天");
    }
    return file.readAll().toStdString();
}

const std::vector<std::string>& Sources() {
    static const std::vector<std::string> sources{SampleSource(), Gbk("汉字ab\r\n第二行"),
                                                  "abc def", Gbk("啊啊啊啊啊啊啊啊")};
    return sources;
}

bool IsLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// GBK characters standing correctly in the answer: single-byte ones (33..126),
// and double-byte ones whose two bytes both match, by their second byte's class.
struct InPlace {
    int ascii = 0;
    int hanzi = 0;
};
InPlace CountInPlace(const std::string& answer, const std::string& source) {
    InPlace in;
    for (std::size_t k = 0; k < answer.size();) {
        const auto b = static_cast<unsigned char>(answer[k]);
        const std::size_t size = IsLead(b) && k + 1 < answer.size() ? 2 : 1;
        const bool match =
            k + size <= source.size() && answer.compare(k, size, source, k, size) == 0;
        const auto last = static_cast<unsigned char>(answer[k + size - 1]);
        if (match && last >= 33 && last <= 126) {
            ++in.ascii;
        } else if (match && last >= 127) {
            ++in.hanzi;
        }
        k += size;
    }
    return in;
}

// Every double-byte character of the source stands in the answer.
bool AllChineseInPlace(const std::string& answer, const std::string& source) {
    for (std::size_t k = 0; k < source.size();) {
        const auto b = static_cast<unsigned char>(source[k]);
        const std::size_t size = IsLead(b) && k + 1 < source.size() ? 2 : 1;
        if (static_cast<unsigned char>(source[k + size - 1]) >= 127 &&
            (k + size > answer.size() || answer.compare(k, size, source, k, size) != 0)) {
            return false;
        }
        k += size;
    }
    return true;
}

bool HasChinese(const std::string& source) {
    return std::any_of(source.begin(), source.end(),
                       [](char ch) { return static_cast<unsigned char>(ch) >= 127; });
}

// One exam window driven by events.
class Session {
public:
    // Runs `events` from a fresh start; the failure after the first event that
    // breaks an invariant, with its index.
    std::optional<std::pair<std::size_t, QString>> run(const std::vector<Event>& events) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (auto failure = step(events[i])) {
                close();
                return std::make_pair(i, *failure);
            }
        }
        close();
        return std::nullopt;
    }

    // Applies one event and checks the invariants; the failure, if any.
    std::optional<QString> step(const Event& e) {
        if (e.kind == Kind::NewWindow) {
            open(static_cast<std::size_t>(e.a));
            return check(nullptr, e);
        }
        if (!form_) {
            return std::nullopt;
        }
        const Snapshot before = snapshot();
        const int changes = form_->changeCount();
        const bool mayFollowPhrase = mayFollowPhrase_;
        apply(e);
        if (e.kind == Kind::Commit && e.a == 0) {
            ++tally.keyless;
            const qsizetype grew = memo_->toPlainText().size() - before.answer.size();
            if (grew > (mayFollowPhrase ? 1 : 0)) {
                return QStringLiteral("a commit without a key press added %1 characters").arg(grew);
            }
        }
        if (e.kind == Kind::SentKey && snapshot().answer != before.answer) {
            return QStringLiteral("a key event another program sent changed the answer");
        }
        tally.changes += form_->changeCount() - changes;
        tally.frozen += before.frozen ? 1 : 0;
        tally.disabled += memo_->isEnabled() ? 0 : 1;
        tally.longest = std::max(tally.longest, static_cast<int>(memo_->toPlainText().size()));
        return check(&before, e);
    }

    void close() {
        form_.reset();
        recorder_.reset();
    }

    [[nodiscard]] bool open() const { return form_ != nullptr; }
    // What the run went through, to see that it reaches every state.
    struct Tally {
        int windows = 0, changes = 0, frozen = 0, disabled = 0, longest = 0, keyless = 0;
    } tally;
    [[nodiscard]] AnswerEdit* memo() const { return memo_; }
    [[nodiscard]] const std::string& source() const { return source_; }
    [[nodiscard]] std::string answer() const {
        return qarvel::platform::ToGbk(memo_->toPlainText());
    }

private:
    struct Snapshot {
        QString answer;
        std::int32_t ascii = 0;
        std::int32_t hanzi = 0;
        bool frozen = false; // read-only or disabled
    };

    void open(std::size_t index) {
        close();
        source_ = Sources()[index % Sources().size()];
        recorder_ = std::make_unique<BoxRecorder>();
        form_ = std::make_unique<ExamWindow>(SetupFor(source_, *recorder_));
        form_->show();
        form_->activateWindow();
        ++tally.windows;
        memo_ = form_->findChild<AnswerEdit*>(QStringLiteral("Memo1"));
        memo_->setKeysFromWindowSystem(true); // as on X11: this session reports the keys
        mayFollowPhrase_ = false;
        view_ = form_->findChild<SourceView*>(QStringLiteral("RichEdit1"));
        shown_ = view_->shownText();
    }

    Snapshot snapshot() const {
        return {memo_->toPlainText(), form_->state().CorrectAsciiCount,
                form_->state().CorrectHanziCount, memo_->isReadOnly() || !memo_->isEnabled()};
    }

    QWidget* focused() const {
        QWidget* w = QApplication::focusWidget();
        return w != nullptr && form_->isAncestorOf(w) ? w : memo_;
    }
    QWidget* target(int which) const {
        return which == 0 ? static_cast<QWidget*>(memo_) : static_cast<QWidget*>(view_);
    }
    QPoint point(int which, int x, int y) const {
        const QWidget* vp = which == 0 ? memo_->viewport() : view_->viewport();
        return {x % std::max(1, vp->width()), y % std::max(1, vp->height())};
    }

    // A real key press, as the window system reports it: to the answer box when
    // it has the focus.
    void realKeyPress() {
        mayFollowPhrase_ = false;
        if (QApplication::focusWidget() == memo_) {
            memo_->noteRealKeyPress();
        }
    }

    void apply(const Event& e) {
        switch (e.kind) {
        case Kind::NewWindow:
            break;
        case Kind::SentKey: {
            // An X key event with the send_event mark, as XSendEvent makes it
            // (F5 or a letter): only one the classifier lets through is delivered.
            std::array<unsigned char, 32> x{};
            x[0] = static_cast<unsigned char>((e.b == 0 ? 2 : 3) | 0x80);
            if (qarvel::platform::ClassifyXcbEvent(x.data()) ==
                qarvel::platform::XKeyEventKind::RealPress) {
                realKeyPress();
                QTest::keyClick(focused(), Qt::Key(e.a));
            }
            break;
        }
        case Kind::Key:
            realKeyPress();
            if (!e.text.isEmpty() && e.a == Qt::Key_unknown) {
                QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_unknown, e.text,
                                    Qt::KeyboardModifiers(e.b));
            } else {
                QTest::keyClick(focused(), Qt::Key(e.a), Qt::KeyboardModifiers(e.b));
            }
            break;
        case Kind::Commit: {
            if (e.a != 0) {
                realKeyPress();
            }
            QWidget* w = focused();
            if (e.d != 0) {
                QInputMethodEvent preedit(QStringLiteral("pinyin"), {});
                QApplication::sendEvent(w, &preedit);
            }
            QInputMethodEvent commit;
            commit.setCommitString(e.text, e.b, e.c);
            QApplication::sendEvent(w, &commit);
            // The phrase a key ended may be followed by one character on that key.
            mayFollowPhrase_ = e.a != 0 && e.d != 0;
            break;
        }
        case Kind::Preedit: {
            QInputMethodEvent preedit(e.text, {{QInputMethodEvent::Selection, e.b, e.c, {}}});
            QApplication::sendEvent(focused(), &preedit);
            break;
        }
        case Kind::Mouse: {
            QWidget* vp = e.b == 0 ? memo_->viewport() : view_->viewport();
            if (!vp->isEnabled() || !vp->isVisible()) {
                break; // a disabled box gets no mouse events
            }
            const QPoint p = point(e.b, e.c, e.d);
            const QPoint q = point(e.b, e.d * 7, e.c * 3);
            switch (e.a) {
            case 0:
                QTest::mouseClick(vp, Qt::LeftButton, {}, p);
                break;
            case 1:
                QTest::mouseDClick(vp, Qt::LeftButton, {}, p);
                QTest::mouseClick(vp, Qt::LeftButton, {}, p); // and a third
                break;
            case 2:
                QTest::mousePress(vp, Qt::LeftButton, {}, p);
                QTest::mouseMove(vp, q);
                QTest::mouseRelease(vp, Qt::LeftButton, {}, q);
                break;
            case 3:
                QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, p);
                break;
            default:
                QTest::mouseClick(vp, Qt::MiddleButton, {}, p);
                break;
            }
            break;
        }
        case Kind::Pause:
            form_->Pap1Click();
            break;
        case Kind::Continue:
            form_->Pap2Click();
            break;
        case Kind::Tick:
            form_->CountSeconds(e.a);
            break;
        case Kind::Access:
            access(e);
            break;
        }
    }

    // What another program may ask of a view over the accessibility bus.
    void access(const Event& e) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(target(e.b));
        if (iface == nullptr) {
            return;
        }
        QAccessibleTextInterface* text = iface->textInterface();
        QAccessibleEditableTextInterface* edit = iface->editableTextInterface();
        const int at = e.c;
        switch (e.a) {
        case 0: // set contents, or an edit without an editable interface
            iface->setText(QAccessible::Value, e.text);
            break;
        case 1: {
            QString all = iface->text(QAccessible::Value);
            all.insert(std::min<qsizetype>(at, all.size()), e.text);
            iface->setText(QAccessible::Value, all);
            break;
        }
        case 2:
            if (edit != nullptr) {
                edit->insertText(at, e.text);
                edit->deleteText(0, at);
                edit->replaceText(0, at, e.text);
            }
            break;
        case 3:
            if (text != nullptr) {
                text->setCursorPosition(at);
            }
            break;
        case 4:
            if (text != nullptr) {
                text->addSelection(0, at);
                text->setSelection(0, at / 2, at);
            }
            break;
        default: // copy a range, then paste it into the answer
            if (text != nullptr) {
                QApplication::clipboard()->setText(text->text(0, at));
                QAccessibleInterface* answer = QAccessible::queryAccessibleInterface(memo_);
                answer->setText(QAccessible::Value, answer->text(QAccessible::Value) +
                                                        QApplication::clipboard()->text());
            }
            break;
        }
    }

    std::optional<QString> check(const Snapshot* before, const Event& e) const {
        const QTextCursor caret = memo_->textCursor();
        if (!caret.atEnd() || caret.hasSelection()) {
            return QStringLiteral("the caret is at %1 of %2, selection %3")
                .arg(caret.position())
                .arg(memo_->document()->characterCount() - 1)
                .arg(caret.hasSelection());
        }
        const std::string answer = this->answer();
        const auto& st = form_->state();
        const InPlace in = CountInPlace(answer, source_);
        if (st.CorrectAsciiCount > in.ascii || st.CorrectHanziCount > in.hanzi ||
            st.CorrectAsciiCount < 0 || st.CorrectHanziCount < 0) {
            return QStringLiteral("counts %1/%2 above the characters in place %3/%4")
                .arg(st.CorrectAsciiCount)
                .arg(st.CorrectHanziCount)
                .arg(in.ascii)
                .arg(in.hanzi);
        }
        const auto shows = [this](const char* label, std::int32_t count) {
            const QString text = form_->findChild<QLabel*>(QLatin1String(label))->text();
            return text == QString::number(count) || (text.isEmpty() && count == 0);
        };
        if (!shows("Label8", st.CorrectAsciiCount) || !shows("Label10", st.CorrectHanziCount)) {
            return QStringLiteral("Label8/Label10 do not show the counts %1/%2")
                .arg(st.CorrectAsciiCount)
                .arg(st.CorrectHanziCount);
        }
        const QString score = form_->findChild<QLabel*>(QStringLiteral("Label12"))->text();
        if (!score.isEmpty() && (score.toInt() < 0 || score.toInt() > 100)) {
            return QStringLiteral("score %1").arg(score);
        }
        if (!memo_->isEnabled() && HasChinese(source_) && !AllChineseInPlace(answer, source_)) {
            return QStringLiteral("disabled with Chinese characters of the source missing");
        }
        if (before != nullptr && before->frozen && e.kind != Kind::Continue) {
            const Snapshot now = snapshot();
            if (now.answer != before->answer || now.ascii != before->ascii ||
                now.hanzi != before->hanzi) {
                return QStringLiteral("read-only or disabled, yet changed");
            }
        }
        if (view_->shownText() != shown_) {
            return QStringLiteral("the source view's text changed");
        }
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(view_);
        if (reader == nullptr || reader->textInterface() == nullptr ||
            reader->textInterface()->text(0, reader->textInterface()->characterCount()) != shown_) {
            return QStringLiteral("readers do not see the source");
        }
        return std::nullopt;
    }

    std::string source_;
    QString shown_;
    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<ExamWindow> form_;
    AnswerEdit* memo_ = nullptr;
    SourceView* view_ = nullptr;
    bool mayFollowPhrase_ = false;
};

// The events, mixed like a careless or dishonest examinee.
class Generator {
public:
    explicit Generator(quint64 seed) : random_(static_cast<quint32>(seed)) {}

    Event next(const Session& session) {
        const int roll = pick(1000);
        if (roll < 3 || !session.open()) {
            return {Kind::NewWindow, pick(static_cast<int>(Sources().size()))};
        }
        if (roll < 330) {
            return typeRight(session);
        }
        if (roll < 480) {
            return typeWrong();
        }
        if (roll < 700) {
            return key();
        }
        if (roll < 760) {
            return {Kind::Commit, pick(2), -pick(4), pick(5), pick(2), chinese(1 + pick(3))};
        }
        if (roll < 775) {
            return {Kind::SentKey, pick(2) == 0 ? Qt::Key_F5 : Qt::Key_A, pick(2)};
        }
        if (roll < 790) {
            return {Kind::Preedit, 0, pick(6), pick(6), 0, QStringLiteral("ni hao")};
        }
        if (roll < 860) {
            return {Kind::Mouse, pick(5), pick(2), pick(900), pick(300)};
        }
        if (roll < 880) {
            return {Kind::Pause};
        }
        if (roll < 910) {
            return {Kind::Continue};
        }
        if (roll < 925) {
            return {Kind::Tick, 1 + pick(pick(30) == 0 ? 600 : 3)};
        }
        return {Kind::Access, pick(6), pick(2), pick(40), 0, chinese(1 + pick(20))};
    }

private:
    int pick(int n) { return static_cast<int>(random_.bounded(static_cast<quint32>(n))); }

    QString chinese(int n) {
        static const QString pool = QStringLiteral("啊吧的秋天校园汉字第二行是你好，。年");
        QString s;
        for (int i = 0; i < n; ++i) {
            s += pool[pick(static_cast<int>(pool.size()))];
        }
        return s;
    }

    // The next character of the source, as an examinee types it.
    Event typeRight(const Session& session) {
        const std::string& source = session.source();
        const std::size_t n = session.answer().size();
        if (n >= source.size()) {
            return typeWrong();
        }
        const auto b = static_cast<unsigned char>(source[n]);
        if (b == '\r' || b == '\n') {
            return {Kind::Key, Qt::Key_Return, 0, 0, 0, QStringLiteral("\r")};
        }
        if (IsLead(b) && n + 1 < source.size()) {
            return {Kind::Commit,
                    1,
                    0,
                    0,
                    pick(4) != 0,
                    qarvel::platform::FromGbk(source.substr(n, 2))};
        }
        return {Kind::Key, Qt::Key_unknown, 0, 0, 0, QString(QChar(b))};
    }

    Event typeWrong() {
        if (pick(2) == 0) {
            return {Kind::Commit, pick(8) != 0, 0, 0, pick(3) != 0, chinese(1 + pick(2))};
        }
        return {Kind::Key, Qt::Key_unknown, 0, 0, 0, QString(QChar(32 + pick(95)))};
    }

    Event key() {
        static const int keys[] = {
            Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Delete,   Qt::Key_Left, Qt::Key_Right,
            Qt::Key_Up,        Qt::Key_Down,   Qt::Key_Home,     Qt::Key_End,  Qt::Key_PageUp,
            Qt::Key_PageDown,  Qt::Key_Tab,    Qt::Key_Backtab,  Qt::Key_A,    Qt::Key_Z,
            Qt::Key_Y,         Qt::Key_C,      Qt::Key_X,        Qt::Key_V,    Qt::Key_Insert,
            Qt::Key_K,         Qt::Key_U,      Qt::Key_Backspace};
        static const int mods[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                   Qt::ControlModifier | Qt::ShiftModifier};
        const int k = keys[pick(std::size(keys))];
        int m = mods[pick(std::size(mods))];
        if (k >= Qt::Key_A && k <= Qt::Key_Z) {
            m |= static_cast<int>(Qt::ControlModifier); // the shortcuts
        }
        if (k == Qt::Key_Backspace && pick(2) == 0) {
            m = Qt::NoModifier;
        }
        return {Kind::Key, k, m};
    }

    QRandomGenerator random_;
};

// The shortest failing list found within the time budget: chunks removed while
// the rest still fails (the first event, the window, stays).
std::vector<Event> Shrink(std::vector<Event> events, qint64 budgetMs) {
    QElapsedTimer clock;
    clock.start();
    Session session;
    const auto fails = [&](const std::vector<Event>& list) {
        return session.run(list).has_value();
    };
    for (std::size_t chunk = events.size() / 2; chunk >= 1 && clock.elapsed() < budgetMs;) {
        bool removed = false;
        for (std::size_t start = 1; start < events.size() && clock.elapsed() < budgetMs;) {
            std::vector<Event> shorter(events.begin(), events.begin() + static_cast<long>(start));
            const std::size_t end = std::min(events.size(), start + chunk);
            shorter.insert(shorter.end(), events.begin() + static_cast<long>(end), events.end());
            if (fails(shorter)) {
                events = std::move(shorter);
                removed = true;
            } else {
                start += chunk;
            }
        }
        if (!removed) {
            chunk /= 2;
        }
    }
    return events;
}

} // namespace

class IntegrityTest : public QObject {
    Q_OBJECT

private slots:
    void randomExaminee() {
        const int count = qEnvironmentVariableIsSet("QARVEL_INTEGRITY_EVENTS")
                              ? qEnvironmentVariableIntValue("QARVEL_INTEGRITY_EVENTS")
                              : 20000;
        const quint64 seed = qEnvironmentVariableIsSet("QARVEL_INTEGRITY_SEED")
                                 ? qEnvironmentVariable("QARVEL_INTEGRITY_SEED").toULongLong()
                                 : QRandomGenerator::global()->generate64();
        qInfo("seed %llu, %d events (QARVEL_INTEGRITY_SEED, QARVEL_INTEGRITY_EVENTS)",
              static_cast<unsigned long long>(seed), count);
        Generator generator(seed);
        Session session;
        std::vector<Event> events;
        events.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            events.push_back(generator.next(session));
            if (const auto failure = session.step(events.back())) {
                session.close();
                const std::vector<Event> shortest = Shrink(events, 60'000);
                const auto again = Session().run(shortest);
                QStringList lines;
                for (const Event& e : shortest) {
                    lines << Describe(e);
                }
                QFAIL(qPrintable(QStringLiteral("seed %1, event %2: %3\nshortest failing list "
                                                "(%4 events, failing with \"%5\"):\n  %6")
                                     .arg(seed)
                                     .arg(i)
                                     .arg(*failure)
                                     .arg(shortest.size())
                                     .arg(again ? again->second : QStringLiteral("?"))
                                     .arg(lines.join(QStringLiteral("\n  ")))));
            }
        }
        const auto& t = session.tally;
        qInfo("%d windows, %d changes, %d events while read-only or disabled, %d while "
              "disabled, longest answer %d characters, %d commits without a key",
              t.windows, t.changes, t.frozen, t.disabled, t.longest, t.keyless);
    }
};

QTEST_MAIN(IntegrityTest)
#include "IntegrityTest.moc"
