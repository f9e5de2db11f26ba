#include "ui/LineLayout.h"

#include "platform/GbkText.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <memory>
#include <numeric>
#include <vector>

using qarvel::ui::LinePosition;
using qarvel::ui::VisualLineByteLength;
using qarvel::ui::VisualLineCount;
using qarvel::ui::VisualLineIndex;
using qarvel::ui::VisualLineOf;

namespace {

const QString kWrapped =
    QStringLiteral("the quick brown fox jumps over the lazy dog again and again "
                   "and once more until the line wraps\n你好世界，你好世界");

// Walks the view's lines with the cursor (Down, then start of line) and checks
// them against what the helper said before the walk (moving the cursor lays the
// blocks out, the helper must not depend on that).
void CheckAgainstCursor(QTextDocument& doc) {
    const int count = VisualLineCount(doc);
    std::vector<int> lengths;
    for (int i = 0; i <= count; ++i) {
        lengths.push_back(VisualLineByteLength(doc, i));
    }
    const LinePosition end = VisualLineOf(doc, doc.characterCount() - 1);
    QCOMPARE(end.line, count - 1);
    QCOMPARE(end.column, lengths[static_cast<size_t>(count - 1)]);
    QCOMPARE(lengths.back(), 0);
    QCOMPARE(VisualLineByteLength(doc, -1), 0);

    QTextCursor c(&doc);
    int line = 0;
    for (;;) {
        c.movePosition(QTextCursor::StartOfLine);
        const LinePosition at = VisualLineOf(doc, c.position());
        QCOMPARE(at.line, line);
        QCOMPARE(at.column, 0);
        const int before = c.position();
        if (!c.movePosition(QTextCursor::Down) || c.position() == before) {
            break;
        }
        ++line;
    }
    QCOMPARE(count, line + 1);
    QString all = doc.toPlainText();
    all.remove(QChar('\n'));
    QCOMPARE(std::accumulate(lengths.begin(), lengths.end(), 0), qarvel::platform::GbkLength(all));
}

QString LongText() {
    QString text;
    for (int i = 0; i < 300; ++i) {
        text += kWrapped + "\n";
    }
    return text;
}

} // namespace

class LineLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void wrappedPlainTextEdit() {
        QPlainTextEdit view;
        view.resize(200, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPlainText(LongText());
        QVERIFY(VisualLineCount(*view.document()) > 900);
        CheckAgainstCursor(*view.document());
    }

    void wrappedRichTextView() {
        QTextEdit view;
        view.setReadOnly(true);
        view.resize(200, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPlainText(kWrapped);
        QVERIFY(VisualLineCount(*view.document()) > 3);
        CheckAgainstCursor(*view.document());
    }

    void lineBreakInsideAParagraphIsNotCounted() {
        QTextEdit view;
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setHtml(QStringLiteral("ab<br>你d"));
        QCOMPARE(VisualLineCount(*view.document()), 2);
        QCOMPARE(VisualLineByteLength(*view.document(), 0), 2);
        QCOMPARE(VisualLineByteLength(*view.document(), 1), 3);
    }

    void longLineIsReadUpTo4096Bytes() {
        QPlainTextEdit view;
        view.setLineWrapMode(QPlainTextEdit::NoWrap);
        view.setPlainText(QString(3000, QChar(0x4F60)));
        QCOMPARE(VisualLineByteLength(*view.document(), 0), qarvel::ui::kMaxLineBytes);
        QCOMPARE(VisualLineOf(*view.document(), 3).column, 6);
    }

    void preeditIsNotPartOfTheLine() {
        QPlainTextEdit view;
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPlainText(QStringLiteral("ab"));
        view.moveCursor(QTextCursor::End);
        QInputMethodEvent e(QStringLiteral("nihao"), {});
        QApplication::sendEvent(&view, &e);
        QCOMPARE(view.document()->firstBlock().layout()->preeditAreaText(),
                 QStringLiteral("nihao"));
        QCOMPARE(VisualLineByteLength(*view.document(), 0), 2);
        QCOMPARE(VisualLineOf(*view.document(), 2).column, 2);
    }

    void preeditPushingTextToLaterLines() {
        QPlainTextEdit view;
        view.resize(200, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPlainText(kWrapped.section('\n', 0, 0));
        const QTextDocument& doc = *view.document();
        const int before = VisualLineCount(doc);
        view.moveCursor(QTextCursor::Start);
        QInputMethodEvent e(QString(80, QChar('x')), {});
        QApplication::sendEvent(&view, &e);
        QVERIFY(VisualLineCount(doc) > before + 1);
        // Line 0 shows only pre-edit text; the answer's own text ends on the last line.
        QCOMPARE(VisualLineByteLength(doc, 0), 0);
        const LinePosition end = VisualLineOf(doc, doc.characterCount() - 1);
        QCOMPARE(end.line, VisualLineCount(doc) - 1);
        QVERIFY(end.column > 0);
    }

    // The remembered table answers as the walk does through edits anywhere in the
    // text, resizes and font changes.
    void indexAgreesWithWalkThroughEdits() {
        QPlainTextEdit view;
        view.resize(220, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPlainText(LongText().left(3000));
        const QTextDocument& doc = *view.document();
        VisualLineIndex index(doc, [&] { return view.viewport()->width(); });
        QRandomGenerator random(12);
        const QStringList pieces = {QStringLiteral("\n"), QStringLiteral("你好，"),
                                    QStringLiteral("abc def "), kWrapped};
        for (int round = 0; round < 60; ++round) {
            const int action = random.bounded(6);
            QTextCursor c(view.document());
            c.setPosition(random.bounded(doc.characterCount()));
            if (action == 0) {
                view.resize(120 + random.bounded(300), 200);
            } else if (action == 1) {
                QFont font = view.font();
                font.setPointSize(8 + random.bounded(8));
                view.setFont(font);
            } else if (action == 2) {
                c.setPosition(std::min(c.position() + random.bounded(40), doc.characterCount() - 1),
                              QTextCursor::KeepAnchor);
                c.removeSelectedText();
            } else {
                c.insertText(pieces[random.bounded(static_cast<int>(pieces.size()))]);
            }
            const int count = VisualLineCount(doc);
            for (int i = 0; i < 4; ++i) {
                const int line = random.bounded(count + 2) - 1;
                QCOMPARE(index.byteLength(line), VisualLineByteLength(doc, line));
                const int position = random.bounded(doc.characterCount() + 1);
                const LinePosition walked = VisualLineOf(doc, position);
                const LinePosition at = index.lineOf(position);
                QCOMPARE(at.line, walked.line);
                QCOMPARE(at.column, walked.column);
            }
        }
    }
};

QTEST_MAIN(LineLayoutTest)
#include "LineLayoutTest.moc"
