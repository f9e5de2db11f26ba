#include "ui/AnswerEdit.h"

#include "platform/GbkText.h"
#include "ui/Application.h"
#include "ui/LineLayout.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using qarvel::ui::AnswerEdit;
using qarvel::ui::LinePosition;

namespace {

std::string G(const QString& text) {
    return qarvel::platform::ToGbk(text);
}

using Changes = std::vector<std::string>;

QString Show(const Changes& changes) {
    QStringList parts;
    for (const auto& c : changes) {
        parts << QString::fromLatin1(QByteArray::fromStdString(c).toHex(' '));
    }
    return "[" + parts.join(" | ") + "]";
}

} // namespace

class AnswerEditTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> window_;
    QLineEdit* other_ = nullptr;
    AnswerEdit* edit_ = nullptr;
    Changes changes_;
    int errorBoxes_ = 0;

    void record() {
        edit_->setChangeHandler([this] { changes_.push_back(edit_->gbkText()); });
    }
    // The answer `text` with the caret at `caret` (-1: the end), no changes recorded.
    void setAnswer(const QString& text, int caret = -1) {
        edit_->setChangeHandler(nullptr);
        edit_->setPlainText(text);
        QTextCursor c = edit_->textCursor();
        if (caret < 0) {
            c.movePosition(QTextCursor::End);
        } else {
            c.setPosition(caret);
        }
        edit_->setTextCursor(c);
        changes_.clear();
        record();
    }
    LinePosition caret() const {
        return qarvel::ui::VisualLineOf(*edit_->document(), edit_->textCursor().position());
    }
    void type(const QString& text) {
        for (const QChar ch : text) {
            const auto key = ch == u' ' ? Qt::Key_Space : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Click, edit_, key, QString(ch), Qt::NoModifier);
        }
    }
    void sendCommit(const QString& commit, const QString& preedit = {}, int replaceFrom = 0,
                    int replaceLength = 0) {
        QInputMethodEvent e(preedit, {});
        e.setCommitString(commit, replaceFrom, replaceLength);
        QApplication::sendEvent(edit_, &e);
    }
    // An input method showing `preedit` (no commit).
    void sendPreedit(const QString& preedit) {
        QInputMethodEvent e(preedit, {});
        QApplication::sendEvent(edit_, &e);
    }
    QString shownPreedit() const { return edit_->textCursor().block().layout()->preeditAreaText(); }
    QPoint pointAt(int position) const {
        QTextCursor c = edit_->textCursor();
        c.setPosition(position);
        return edit_->cursorRect(c).center();
    }
    void expectUnchanged(const QString& text) {
        QCOMPARE(edit_->toPlainText(), text);
        QVERIFY2(changes_.empty(), qPrintable(Show(changes_)));
    }

private slots:
    void init() {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        other_ = new QLineEdit(window_.get());
        edit_ = new AnswerEdit(window_.get());
        layout->addWidget(other_);
        layout->addWidget(edit_);
        window_->resize(865, 400);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        edit_->setFocus();
        changes_.clear();
        errorBoxes_ = 0;
        edit_->setMessageBoxes(qarvel::ui::MessageBoxes([this](const qarvel::ui::BoxRequest&) {
            ++errorBoxes_;
            return qarvel::ui::BoxAnswer::Ok;
        }));
        record();
    }
    void cleanup() { window_.reset(); }

    // The answer the handler gets is the box's text in GBK, however it changed:
    // typing, commits, line breaks, Backspace, undo.
    void theHandlerGetsTheWholeAnswer() {
        std::mt19937 random(11);
        const QStringList typed = {QStringLiteral("a"), QStringLiteral("你"), QStringLiteral("，"),
                                   QStringLiteral("😀"), QStringLiteral(" ")};
        for (int step = 0; step < 300; ++step) {
            switch (random() % 6) {
            case 0:
                QTest::keyClick(edit_, Qt::Key_Return);
                break;
            case 1:
                QTest::keyClick(edit_, Qt::Key_Backspace);
                break;
            case 2:
                QTest::keyClick(edit_, Qt::Key_Z, Qt::ControlModifier);
                break;
            case 3:
                sendCommit(typed[static_cast<qsizetype>(random() % std::size_t(typed.size()))]);
                break;
            default:
                type(typed[static_cast<int>(random() % 3)]);
                break;
            }
            if (!changes_.empty()) {
                QCOMPARE(changes_.back(), G(edit_->toPlainText()));
                changes_.clear();
            }
        }
    }

    void typedCharactersAreOneChangeEach() {
        type(QStringLiteral("a你b"));
        const Changes want{"a", G("a你"), G("a你b")};
        QVERIFY2(changes_ == want, qPrintable(Show(changes_)));
    }

    void preeditIsNoChange() {
        QSignalSpy textChanged(edit_, &QPlainTextEdit::textChanged);
        for (const char* p : {"n", "ni", "nih", "niha", "nihao"}) {
            QInputMethodEvent e(QString::fromLatin1(p), {});
            QApplication::sendEvent(edit_, &e);
        }
        QVERIFY(changes_.empty());
        QVERIFY(!textChanged.isEmpty()); // the box does signal pre-edit updates
        QCOMPARE(edit_->toPlainText(), QString());
        sendCommit(QStringLiteral("你好"));
        const Changes want{G("你"), G("你好")};
        QVERIFY2(changes_ == want, qPrintable(Show(changes_)));
        QVERIFY(edit_->document()->firstBlock().layout()->preeditAreaText().isEmpty());
    }

    void commitIsSplitIntoCharacters_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("commit");
        QTest::addColumn<int>("replaceFrom");
        QTest::addColumn<int>("replaceLength");
        QTest::addColumn<QString>("preedit");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("phrase") << "" << false << "你好" << 0 << 0 << ""
                                << QStringList{"你", "你好"};
        QTest::newRow("one character")
            << "a" << false << "你" << 0 << 0 << "" << QStringList{"a你"};
        QTest::newRow("with next pre-edit")
            << "" << false << "你好" << 0 << 0 << "ma" << QStringList{"你", "你好"};
        QTest::newRow("replacing the end: the removal first")
            << "ab" << false << "你好" << -1 << 1 << "" << QStringList{"a", "a你", "a你好"};
        QTest::newRow("a selection is dropped") << "ab" << true << "你好吗" << 0 << 0 << ""
                                                << QStringList{"ab你", "ab你好", "ab你好吗"};
        QTest::newRow("space inside a commit passes")
            << "a" << false << " b" << 0 << 0 << "" << QStringList{"a ", "a b"};
    }
    // Each commit ends a composition: its pre-edit is on show when it arrives.
    void commitIsSplitIntoCharacters() {
        QFETCH(QString, before);
        QFETCH(bool, selectAll);
        QFETCH(QString, commit);
        QFETCH(int, replaceFrom);
        QFETCH(int, replaceLength);
        QFETCH(QString, preedit);
        QFETCH(QStringList, texts);
        setAnswer(before);
        // A typed space here would be refused: the line is as long as the source's.
        edit_->setSourceLineLength([&](int) { return static_cast<int>(G(before).size()); });
        sendPreedit(QStringLiteral("pinyin"));
        if (selectAll) {
            edit_->selectAll();
        }
        QVERIFY(changes_.empty());
        sendCommit(commit, preedit, replaceFrom, replaceLength);
        Changes want;
        for (const auto& t : texts) {
            want.push_back(G(t));
        }
        QVERIFY2(changes_ == want, qPrintable(Show(changes_)));
        QCOMPARE(edit_->document()->lastBlock().layout()->preeditAreaText(), preedit);
    }

    // Steps before the commit: "p:<text>" shows a pre-edit (empty text clears it),
    // "c:<text>" is an earlier commit, "select" selects the whole answer.
    void uncomposedCommitsAreRefused_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("commit");
        QTest::addColumn<QString>("preedit"); // in the commit's own event
        QTest::addColumn<QString>("after");
        QTest::newRow("a phrase out of nowhere (the input method's clipboard)")
            << QStringList{} << "好世界\n我们"
            << ""
            << "你";
        QTest::newRow("pre-edit taken away before the commit")
            << QStringList{"p:n", "p:"} << "好世界"
            << ""
            << "你";
        QTest::newRow("a second phrase after a commit (prediction)")
            << QStringList{"p:hao", "c:好"} << "世界"
            << ""
            << "你好";
        QTest::newRow("over a selection") << QStringList{"select"} << "世界"
                                          << ""
                                          << "你";
        QTest::newRow("the event's own pre-edit is still shown") << QStringList{"select"} << "世界"
                                                                 << "ma"
                                                                 << "你";
    }
    void uncomposedCommitsAreRefused() {
        QFETCH(QStringList, steps);
        QFETCH(QString, commit);
        QFETCH(QString, preedit);
        QFETCH(QString, after);
        setAnswer(QStringLiteral("你"));
        for (const QString& step : steps) {
            if (step == QLatin1String("select")) {
                edit_->selectAll();
            } else if (step.startsWith(QLatin1String("p:"))) {
                sendPreedit(step.mid(2));
            } else {
                sendCommit(step.mid(2));
            }
        }
        changes_.clear();
        sendCommit(commit, preedit);
        expectUnchanged(after);
        QCOMPARE(shownPreedit(), preedit);
    }

    void oneCharacterPassesWithoutPreedit_data() {
        QTest::addColumn<QString>("commit");
        QTest::newRow("Chinese comma") << "，";
        QTest::newRow("full stop") << "。";
        QTest::newRow("digit") << "1";
        QTest::newRow("outside the basic plane") << "𠀀";
    }
    void oneCharacterPassesWithoutPreedit() {
        QFETCH(QString, commit);
        setAnswer(QStringLiteral("你"));
        sendCommit(commit);
        QCOMPARE(edit_->toPlainText(), "你" + commit);
        QCOMPARE(changes_.size(), size_t(1));
    }

    // An input method may delete or replace around the caret only up to the end.
    void surroundingEditsOnlyAtTheEnd_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("commit");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("delete the last") << -1 << 1 << "" << QStringList{"ab"};
        QTest::newRow("replace the last two") << -2 << 2 << "，" << QStringList{"a", "a，"};
        QTest::newRow("delete before the last") << -2 << 1 << "" << QStringList{};
        QTest::newRow("insert before the last") << -1 << 0 << "，" << QStringList{};
        QTest::newRow("past the end") << 0 << 1 << "，" << QStringList{};
        QTest::newRow("before the start") << -9 << 9 << "，" << QStringList{};
    }
    void surroundingEditsOnlyAtTheEnd() {
        QFETCH(int, from);
        QFETCH(int, length);
        QFETCH(QString, commit);
        QFETCH(QStringList, texts);
        setAnswer(QStringLiteral("abc"));
        sendCommit(commit, {}, from, length);
        Changes want;
        for (const auto& t : texts) {
            want.push_back(G(t));
        }
        QVERIFY2(changes_ == want, qPrintable(Show(changes_)));
        QCOMPARE(edit_->toPlainText(), texts.isEmpty() ? QStringLiteral("abc") : texts.back());
    }

    void inputMethodSelectsNothing() {
        setAnswer(QStringLiteral("abc"));
        QInputMethodEvent select(QString(), {{QInputMethodEvent::Selection, 0, 2, {}}});
        QApplication::sendEvent(edit_, &select);
        QVERIFY(edit_->textCursor().atEnd());
        QVERIFY(!edit_->textCursor().hasSelection());
        sendCommit(QStringLiteral("，"));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("abc，"));
    }

    void commitsChangeNothingWhileReadOnlyOrDisabled_data() {
        QTest::addColumn<bool>("disable");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("commit");
        QTest::newRow("paused mid-composition") << false << false << "你好";
        QTest::newRow("one character") << false << false << "，";
        QTest::newRow("answer selected") << false << true << "好";
        QTest::newRow("disabled") << true << false << "你好";
    }
    void commitsChangeNothingWhileReadOnlyOrDisabled() {
        QFETCH(bool, disable);
        QFETCH(bool, select);
        QFETCH(QString, commit);
        setAnswer(QStringLiteral("ab"));
        sendPreedit(QStringLiteral("ni hao"));
        if (disable) {
            edit_->setEnabled(false);
        } else {
            edit_->setReadOnly(true);
        }
        if (select) {
            edit_->selectAll();
        }
        sendPreedit(QStringLiteral("ni hao m"));
        sendCommit(commit, QStringLiteral("ma"));
        sendCommit(QString(), {}, -1, 1); // an input method deleting before the caret
        expectUnchanged(QStringLiteral("ab"));
        QCOMPARE(shownPreedit(), QString()); // nothing composes in the box now
        // Writable again, composing works as before.
        edit_->setEnabled(true);
        edit_->setReadOnly(false);
        sendPreedit(QStringLiteral("ni hao"));
        sendCommit(QStringLiteral("你好"));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("ab你好"));
        QCOMPARE(changes_.size(), size_t(2));
    }

    // Key presses the window system reports: counted while the box takes input;
    // those of a pause pay for no commit after it.
    void keysOfAPausePayForNothing() {
        edit_->setKeysFromWindowSystem(true);
        sendCommit(QStringLiteral("，"));
        QCOMPARE(edit_->toPlainText(), QString()); // no key: refused
        edit_->noteRealKeyPress();
        edit_->setReadOnly(true);
        for (int i = 0; i < 5; ++i) {
            edit_->noteRealKeyPress();
        }
        edit_->setReadOnly(false);
        QCOMPARE(edit_->realKeyPresses(), 1);
        sendCommit(QStringLiteral("，"));
        QCOMPARE(edit_->toPlainText(), QString());
        edit_->noteRealKeyPress();
        sendCommit(QStringLiteral("，"));
        sendCommit(QStringLiteral("。"));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("，"));
        QCOMPARE(edit_->realKeyPresses(), 2);
    }

    void aCompositionOpenAtAPauseIsDiscarded() {
        sendPreedit(QStringLiteral("ni hao"));
        edit_->setReadOnly(true);
        QVERIFY(!edit_->inputMethodQuery(Qt::ImEnabled).toBool());
        edit_->setReadOnly(false);
        QVERIFY(edit_->inputMethodQuery(Qt::ImEnabled).toBool());
        sendCommit(QStringLiteral("你好"));
        QCOMPARE(edit_->toPlainText(), QString());
    }

    void caretKeysAreSwallowed_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,      Qt::Key_Down,
                            Qt::Key_Home, Qt::Key_End,   Qt::Key_PageDown};
        const Qt::KeyboardModifiers mods[] = {Qt::NoModifier, Qt::ShiftModifier,
                                              Qt::ControlModifier,
                                              Qt::ControlModifier | Qt::ShiftModifier};
        for (int k : keys) {
            for (auto m : mods) {
                QTest::addRow("%s+%d", qPrintable(QKeySequence(k).toString()), int(m))
                    << k << int(m);
            }
        }
        QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+Shift+Tab")
            << int(Qt::Key_Backtab) << int(Qt::ControlModifier | Qt::ShiftModifier);
    }
    void caretKeysAreSwallowed() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const QString text = QStringLiteral("abc def\nghi jkl\nmno pqr");
        setAnswer(text, 10); // a caret a program put elsewhere goes back to the end
        QTest::keyClick(edit_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(edit_->textCursor().atEnd());
        QVERIFY(!edit_->textCursor().hasSelection());
        QVERIFY(edit_->hasFocus());
        expectUnchanged(text);
    }

    void plainTabMovesTheFocus() {
        QTest::keyClick(edit_, Qt::Key_Tab);
        QVERIFY(other_->hasFocus());
        QCOMPARE(edit_->toPlainText(), QString());
    }

    void enterAppendsOneLineBreakAtTheEnd_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("caretAt");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("empty") << "" << -1 << int(Qt::Key_Return) << 0;
        QTest::newRow("caret mid-text") << "ab\ncd" << 1 << int(Qt::Key_Return) << 0;
        QTest::newRow("last line empty") << "ab\n" << -1 << int(Qt::Key_Return) << 0;
        QTest::newRow("keypad Enter")
            << "ab" << -1 << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
        QTest::newRow("Shift+Enter") << "ab" << 0 << int(Qt::Key_Return) << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl+Enter") << "ab" << 1 << int(Qt::Key_Return) << int(Qt::ControlModifier);
    }
    void enterAppendsOneLineBreakAtTheEnd() {
        QFETCH(QString, before);
        QFETCH(int, caretAt);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        setAnswer(before, caretAt);
        QTest::keyClick(edit_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const QString after = before + "\n";
        QCOMPARE(edit_->toPlainText(), after);
        QVERIFY2(changes_ == Changes{G(after)}, qPrintable(Show(changes_)));
        QVERIFY(edit_->textCursor().atEnd());
        const LinePosition at = caret();
        QCOMPARE(at.line, static_cast<int>(before.count('\n')) + 1);
        QCOMPARE(at.column, 0);
    }

    void pageUpScrollsButTheCaretStaysAtTheEnd() {
        QString text;
        for (int i = 0; i < 40; ++i) {
            text += QStringLiteral("line %1\n").arg(i);
        }
        text += QStringLiteral("end");
        setAnswer(text);
        QScrollBar* bar = edit_->verticalScrollBar();
        const int bottom = bar->value();
        for (auto mods : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier}) {
            QTest::keyClick(edit_, Qt::Key_PageUp, mods);
            QVERIFY(edit_->textCursor().atEnd());
            QVERIFY(!edit_->textCursor().hasSelection());
        }
        QVERIFY(bar->value() < bottom);
        type(QStringLiteral("x")); // goes to the end, which comes back into sight
        QCOMPARE(edit_->toPlainText(), text + "x");
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(edit_, Qt::Key_Return);
        QVERIFY(edit_->toPlainText().endsWith("endx\n"));
        QVERIFY(edit_->textCursor().atEnd());
        QCOMPARE(changes_.size(), size_t(2));
    }

    void deleteIsNotSwallowed() {
        setAnswer(QStringLiteral("ab\ncd"));
        QTest::keyClick(edit_, Qt::Key_Delete);
        expectUnchanged(QStringLiteral("ab\ncd"));
        QTest::keyClick(edit_, Qt::Key_PageUp); // the caret stays at the end
        QTest::keyClick(edit_, Qt::Key_Delete);
        expectUnchanged(QStringLiteral("ab\ncd"));
    }

    void backspace_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("caretAt");
        QTest::addColumn<QStringList>("texts"); // GBK hex of each change
        QTest::addColumn<QString>("after");
        QTest::newRow("after a line break") << "ab\n"
                                            << -1 << QStringList{"61 62 0d", "61 62"} << "ab";
        QTest::newRow("empty answer") << "" << -1 << QStringList{} << "";
        // A caret a program put elsewhere goes back to the end first.
        QTest::newRow("caret put on line 0, column 0")
            << "ab\n"
            << 0 << QStringList{"61 62 0d", "61 62"} << "ab";
        QTest::newRow("column above 0, Chinese") << "你好" << -1 << QStringList{"c4 e3"} << "你";
        QTest::newRow("caret put at the start of a line, letter at the end")
            << "ab\ncd" << 3 << QStringList{"61 62 0d 0a 63"} << "ab\nc";
        QTest::newRow("caret put at the start of a line, Chinese at the end")
            << "ab\n你" << 3 << QStringList{"61 62 0d 0a"} << "ab\n";
    }
    void backspace() {
        QFETCH(QString, before);
        QFETCH(int, caretAt);
        QFETCH(QStringList, texts);
        QFETCH(QString, after);
        setAnswer(before, caretAt);
        QTest::keyClick(edit_, Qt::Key_Backspace);
        Changes want;
        for (const auto& t : texts) {
            want.push_back(QByteArray::fromHex(t.toLatin1()).toStdString());
        }
        QVERIFY2(changes_ == want, qPrintable(Show(changes_)));
        QCOMPARE(edit_->toPlainText(), after);
        QVERIFY(edit_->textCursor().atEnd());
    }

    void failedBackspaceChangeEndsTheKey() {
        setAnswer(QStringLiteral("ab\n"));
        edit_->setChangeHandler([this] {
            changes_.push_back(edit_->gbkText());
            throw std::runtime_error("Invalid floating point operation");
        });
        QTest::keyClick(edit_, Qt::Key_Backspace);
        QVERIFY2(changes_ == Changes{"ab\r"}, qPrintable(Show(changes_)));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("ab\n"));
        QCOMPARE(errorBoxes_, 1);
        // A change the box makes itself shows its error and stays made.
        type(QStringLiteral("c"));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("ab\nc"));
        QCOMPARE(errorBoxes_, 2);
    }

    void readOnlyEnterAndBackspaceChangeNothing() {
        setAnswer(QStringLiteral("ab\n"));
        edit_->setReadOnly(true);
        QTest::keyClick(edit_, Qt::Key_Return);
        QTest::keyClick(edit_, Qt::Key_Backspace);
        QTest::keyClick(edit_, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(edit_, Qt::Key_Backspace, Qt::ControlModifier);
        type(QStringLiteral("x "));
        expectUnchanged(QStringLiteral("ab\n"));
        QTest::keyClick(edit_, Qt::Key_Left);
        QVERIFY(edit_->textCursor().atEnd());
    }

    void spaceRefusedWhereTheLineIsAsLongAsTheSource() {
        // Source line 0 holds two Chinese characters (4 bytes); later lines are empty.
        edit_->setSourceLineLength([](int line) { return line == 0 ? 4 : 0; });
        type(QStringLiteral("你好 "));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("你好"));
        type(QStringLiteral("a "));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("你好a "));
        QCOMPARE(changes_.size(), size_t(4));
        // An empty line past the source's end: both lengths are 0.
        QTest::keyClick(edit_, Qt::Key_Return);
        QTest::keyClick(edit_, Qt::Key_Space);
        QCOMPARE(edit_->toPlainText(), QStringLiteral("你好a \n"));
    }

    void mouseSendsTheCaretToTheEnd() {
        setAnswer(QStringLiteral("hello world"));
        other_->setFocus();
        QTest::mouseClick(edit_->viewport(), Qt::LeftButton, {}, pointAt(2));
        QVERIFY(edit_->hasFocus());
        QVERIFY(edit_->textCursor().atEnd());
        type(QStringLiteral("x"));
        QCOMPARE(edit_->toPlainText(), QStringLiteral("hello worldx"));

        QTest::mouseDClick(edit_->viewport(), Qt::LeftButton, {}, pointAt(3));
        QVERIFY(edit_->textCursor().atEnd());
        QVERIFY(!edit_->textCursor().hasSelection());
        QTest::mouseClick(edit_->viewport(), Qt::LeftButton, {}, pointAt(3)); // a triple click
        QVERIFY(edit_->textCursor().atEnd());
        QVERIFY(!edit_->textCursor().hasSelection());

        QTest::mousePress(edit_->viewport(), Qt::LeftButton, {}, pointAt(1));
        QTest::mouseMove(edit_->viewport(), pointAt(8));
        QTest::mouseRelease(edit_->viewport(), Qt::LeftButton, {}, pointAt(8));
        QVERIFY(edit_->textCursor().atEnd());
        QVERIFY(!edit_->textCursor().hasSelection());

        QTest::mouseClick(edit_->viewport(), Qt::LeftButton, Qt::ShiftModifier, pointAt(0));
        QVERIFY(edit_->textCursor().atEnd());
        QVERIFY(!edit_->textCursor().hasSelection());
        QCOMPARE(changes_.size(), size_t(1));
    }

    void pasteIsRefused_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier);
        QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier);
    }
    void pasteIsRefused() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        setAnswer(QStringLiteral("ab"));
        QApplication::clipboard()->setText(QStringLiteral("XYZ"));
        QTest::keyClick(edit_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        expectUnchanged(QStringLiteral("ab"));
    }

    void copyAndCutLeaveTheClipboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier);
        QTest::newRow("Ctrl+Insert") << int(Qt::Key_Insert) << int(Qt::ControlModifier);
        QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier);
    }
    void copyAndCutLeaveTheClipboard() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        setAnswer(QStringLiteral("secret"));
        QApplication::clipboard()->setText(QStringLiteral("sentinel"));
        QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!edit_->textCursor().hasSelection());
        QTest::keyClick(edit_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("sentinel"));
        expectUnchanged(QStringLiteral("secret"));
    }

    // Only undo and redo are left, in Chinese whatever the locale.
    void contextMenuHasNoClipboardNorSelectionEntries() {
        QVERIFY(qarvel::ui::InstallQtTranslations());
        setAnswer(QStringLiteral("ab"));
        edit_->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("XYZ"));
        QContextMenuEvent e(QContextMenuEvent::Mouse, pointAt(1),
                            edit_->viewport()->mapToGlobal(pointAt(1)));
        QApplication::sendEvent(edit_->viewport(), &e);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QStringList names;
        for (QAction* a : menu->actions()) {
            names << a->objectName();
        }
        for (const char* gone :
             {"edit-cut", "edit-copy", "edit-paste", "edit-delete", "select-all"}) {
            QVERIFY2(!names.contains(QLatin1String(gone)), qPrintable(names.join(',')));
        }
        QVERIFY(names.contains(QStringLiteral("edit-undo")));
        QVERIFY(names.contains(QStringLiteral("edit-redo")));
        for (const QAction* a : menu->actions()) {
            const QString text = a->text();
            QVERIFY2(a->isSeparator() || std::any_of(text.begin(), text.end(),
                                                     [](QChar c) { return c.unicode() >= 0x4E00; }),
                     qPrintable(text));
        }
        menu->close();
        expectUnchanged(QStringLiteral("ab"));
    }

    void middleClickPastesNothing() {
        setAnswer(QStringLiteral("ab"));
        auto* cb = QApplication::clipboard();
        cb->setText(QStringLiteral("XYZ"));
        if (cb->supportsSelection()) {
            cb->setText(QStringLiteral("XYZ"), QClipboard::Selection);
        }
        QTest::mouseClick(edit_->viewport(), Qt::MiddleButton, {}, pointAt(1));
        expectUnchanged(QStringLiteral("ab"));
        QVERIFY(edit_->textCursor().atEnd());
        // The selection paste and the box's own paste command insert through one door.
        edit_->paste();
        expectUnchanged(QStringLiteral("ab"));
    }

    void selectionIsNotPublished() {
        setAnswer(QStringLiteral("secret"));
        auto* cb = QApplication::clipboard();
        if (cb->supportsSelection()) {
            cb->setText(QStringLiteral("sentinel"), QClipboard::Selection);
        }
        QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
        if (cb->supportsSelection()) {
            QVERIFY(!cb->text(QClipboard::Selection).contains(QStringLiteral("secret")));
        }
        // Whatever route asks the box for its selection gets nothing.
        QApplication::clipboard()->setText(QStringLiteral("sentinel"));
        edit_->copy();
        QVERIFY(!cb->text().contains(QStringLiteral("secret")));
    }

    void dragAndDropAreRefused() {
        setAnswer(QStringLiteral("ab"));
        QMimeData data;
        data.setText(QStringLiteral("XYZ"));
        QDragEnterEvent enter(pointAt(1), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(edit_->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(pointAt(1)), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(edit_->viewport(), &drop);
        expectUnchanged(QStringLiteral("ab"));

        // Pressing on selected text and moving starts no drag out of the box.
        edit_->selectAll();
        QTest::mousePress(edit_->viewport(), Qt::LeftButton, {}, pointAt(1));
        QTest::mouseMove(edit_->viewport(), pointAt(1) + QPoint(200, 100));
        QTest::mouseRelease(edit_->viewport(), Qt::LeftButton, {}, pointAt(1) + QPoint(200, 100));
        QVERIFY(!edit_->textCursor().hasSelection());
        expectUnchanged(QStringLiteral("ab"));
    }

    void undoPassesAndNothingIsSelectedToDelete() {
        type(QStringLiteral("ab"));
        changes_.clear();
        QTest::keyClick(edit_, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(edit_->toPlainText() != QStringLiteral("ab"));
        QCOMPARE(changes_.size(), size_t(1));
        QCOMPARE(changes_.back(), G(edit_->toPlainText()));

        setAnswer(QStringLiteral("abc"));
        QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
        edit_->selectAll(); // the context menu's Select All
        QVERIFY(!edit_->textCursor().hasSelection());
        QTest::keyClick(edit_, Qt::Key_Delete);
        expectUnchanged(QStringLiteral("abc"));
    }
};

QTEST_MAIN(AnswerEditTest)
#include "AnswerEditTest.moc"
