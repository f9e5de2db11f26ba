// The source view: one character per GBK character group, marks addressed by
// byte offset, the view kept on the underlined character, lines as laid out.
#include "ui/SourceView.h"

#include "UiTestSupport.h"
#include "platform/GbkText.h"
#include "ui/Fonts.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTextLayout>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <malloc.h>
#include <memory>
#include <numeric>
#include <random>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;
using qarvel::exam::Mark;

namespace {

// a | 汉 | CR LF | 丂 (81 40) | 80 | FF | 81 20 (no such character) | b | B0 (cut short)
// offsets 0 | 1 2 | 3 4 | 5 6 | 7 | 8 | 9 10 | 11 | 12
// positions 0 | 1 | 2 | 3 | 4 | 5 | 6 | 7 | 8
const std::string kMixed = std::string("a") + Gbk("汉") + "\r\n" + "\x81\x40" + "\x80" + "\xFF" +
                           "\x81\x20" + "b" + "\xB0";

std::unique_ptr<SourceView> MakeView(const std::string& source) {
    auto view = std::make_unique<SourceView>();
    view->resize(865, 225);
    view->setFont(SongFont(19));
    view->setSourceText(source);
    view->show();
    return view;
}

// Bytes the program has taken from the heap and not given back.
long long HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

int GbkBytes(const QString& text) {
    return qarvel::platform::GbkLength(text);
}

// Calls `seen` for each event of `type` that reaches `target`.
class EventSpy : public QObject {
public:
    EventSpy(QObject* target, QEvent::Type type, std::function<void(QEvent*)> seen)
        : type_(type), seen_(std::move(seen)) {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == type_) {
            seen_(event);
        }
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void(QEvent*)> seen_;
};

// The view with its selection's mime data in reach.
class OpenSourceView : public SourceView {
public:
    using SourceView::createMimeDataFromSelection;
};

} // namespace

class SourceViewTest : public QObject {
    Q_OBJECT

private slots:
    void everyGroupIsOneCharacter() {
        const auto view = MakeView(kMixed);
        QCOMPARE(view->characterCount(), 9);
        QCOMPARE(view->paragraphCount(), 2);
        QCOMPARE(view->characterAt(0), QChar('a'));
        QCOMPARE(view->characterAt(1), QChar(u'汉'));
        QCOMPARE(view->characterAt(2), QChar('\n'));
        QCOMPARE(view->characterAt(3), QChar(u'丂'));
        QCOMPARE(view->characterAt(5), QChar(QChar::ReplacementCharacter));
        QCOMPARE(view->characterAt(6), QChar(QChar::ReplacementCharacter));
        QCOMPARE(view->characterAt(7), QChar('b'));
        QCOMPARE(view->characterAt(8), QChar(QChar::ReplacementCharacter));
        QCOMPARE(view->shownText(2, 4), QStringLiteral("\n丂"));
        QCOMPARE(view->shownText(5, 7), QStringLiteral("\uFFFD\uFFFD"));
        QCOMPARE(view->gbkText(), kMixed);
        // Every character starts black and plain.
        for (int p = 0; p < 9; ++p) {
            QCOMPARE(LookAt(view.get(), p).colour, kBlack);
            QVERIFY(!LookAt(view.get(), p).underline);
        }
    }

    void offsetsAddressCharacters_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("position");
        const int expected[] = {0, 1, 2, 2, 3, 3, 4, 4, 5, 6, 7, 7, 8};
        for (int offset = 0; offset < 13; ++offset) {
            QTest::addRow("offset %d", offset) << offset << expected[offset];
        }
        QTest::newRow("before the source") << -1 << -1;
        QTest::newRow("at its end") << 13 << -1;
        QTest::newRow("far beyond") << 100000 << -1;
    }
    // The second byte of a double-byte character and the LF of a line break
    // address the character after them; outside offsets address nothing.
    void offsetsAddressCharacters() {
        QFETCH(int, offset);
        QFETCH(int, position);
        const auto view = MakeView(kMixed);
        QCOMPARE(view->positionAt(offset), position);
        view->markSource(offset, Mark::Red);
        view->markSource(offset, Mark::UnderlineOn);
        for (int p = 0; p < 9; ++p) {
            const Look look = LookAt(view.get(), p);
            QCOMPARE(look.colour, p == position ? kRed : kBlack);
            QCOMPARE(look.underline, p == position);
        }
    }

    void theSecondByteOfTheLastCharacterAddressesNothing() {
        const auto view = MakeView(Gbk("汉字"));
        QCOMPARE(view->positionAt(2), 1);
        QCOMPARE(view->positionAt(3), -1);
        view->markSource(3, Mark::Blue);
        QCOMPARE(LookAt(view.get(), 1).colour, kBlack);
    }

    void marksChangeOnlyColourAndUnderline() {
        const auto view = MakeView(Gbk("汉字"));
        view->markSource(0, Mark::Blue);
        view->markSource(0, Mark::UnderlineOn);
        view->markSource(0, Mark::UnderlineOff);
        QCOMPARE(LookAt(view.get(), 1).colour, kBlack);
        QCOMPARE(LookAt(view.get(), 0).colour, kBlue);
        QVERIFY(!LookAt(view.get(), 0).underline);
        QCOMPARE(view->font().pixelSize(), 19);
        view->markSource(0, Mark::Black);
        QCOMPARE(LookAt(view.get(), 0).colour, kBlack);
    }

    void theUnderlinedCharacterIsKeptInSight() {
        std::string source;
        for (int line = 0; line < 200; ++line) {
            source += Gbk("第") + std::to_string(line) + Gbk("行") + "\r\n";
        }
        const auto view = MakeView(source);
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        const int caret = view->cursorPosition();
        const int offset = static_cast<int>(source.size()) - 8;
        view->keepInSight(offset);
        QVERIFY(view->verticalScrollBar()->value() > 0);
        const QRect at = view->cursorRect(view->positionAt(offset));
        QVERIFY(at.top() >= 0 && at.bottom() <= view->viewport()->height());
        QCOMPARE(view->cursorPosition(), caret);
        // Back to the start.
        view->keepInSight(0);
        QCOMPARE(view->verticalScrollBar()->value(), 0);
    }

    // A mark changes the look of its own character only: the text stays laid
    // out, and only that character's place is painted again.
    void aMarkRepaintsOnlyItsCharacter() {
        std::string source;
        for (int line = 0; line < 8; ++line) {
            source += Gbk("春眠不觉晓处处闻啼鸟") + "\r\n";
        }
        const auto view = MakeView(source);
        QRegion painted;
        EventSpy spy(view->viewport(), QEvent::Paint,
                     [&](QEvent* e) { painted += static_cast<QPaintEvent*>(e)->region(); });
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTRY_VERIFY(!painted.isEmpty()); // the first whole paint
        QCoreApplication::processEvents();
        painted = QRegion();
        const long long made = view->layoutsMade();
        const int offset = 3 * 22 + 4; // the third character of the fourth line
        view->markSource(offset, Mark::Red);
        view->markSource(offset, Mark::UnderlineOn);
        QTRY_VERIFY(!painted.isEmpty());
        QCOMPARE(view->layoutsMade(), made); // nothing laid out again
        const QRect at = view->cursorRect(3 * 11);
        const QRect box = painted.boundingRect();
        QVERIFY2(box.height() <= at.height() + 4 && box.width() <= 2 * at.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(box.width()).arg(box.height())));
        QCOMPARE(LookAt(view.get(), view->positionAt(offset)).colour, kRed);
    }

    // The underline on a line break shows as a sign at the end of its line,
    // which changes neither the text nor any offset.
    void anUnderlinedLineBreakShows() {
        const std::string source = Gbk("你好") + "\r\n" + Gbk("世界");
        const auto view = MakeView(source);
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        const QImage plain = view->viewport()->grab().toImage();
        view->markSource(4, Mark::UnderlineOn);
        QCOMPARE(view->positionAt(4), 2);
        QCOMPARE(view->shownText(), QStringLiteral("你好\n世界"));
        QTRY_VERIFY(view->viewport()->grab().toImage() != plain);
        // Right of the line's text, nowhere else.
        const QImage marked = view->viewport()->grab().toImage();
        const QRect end = view->cursorRect(0);
        const int textEnd = view->cursorRect(2).left();
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (plain.pixel(x, y) != marked.pixel(x, y)) {
                    QVERIFY2(x >= textEnd - 1 && y >= end.top() - 1 && y <= end.bottom() + 1,
                             qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                }
            }
        }
        view->markSource(4, Mark::UnderlineOff);
        QTRY_COMPARE(view->viewport()->grab().toImage(), plain);
    }

    // Every mark shows in its colour, and a repaint of any part of the view
    // paints there exactly what a repaint of the whole paints: random marks
    // over Chinese, Latin letters, digits and spaces, random parts.
    void marksPaintAlikeInPartAndWhole() {
        std::mt19937 random(11);
        const char* pieces[] = {"汉", "字，", "。", "a", "Wf ", "2026", " ", "\r\n", "ＡＢ", "Ω"};
        std::string source;
        for (int i = 0; i < 200; ++i) {
            source += Gbk(pieces[random() % std::size(pieces)]);
        }
        const auto view = MakeView(source);
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QWidget* viewport = view->viewport();
        const QString text = view->shownText();
        const auto shows = [](const QImage& image, const QRect& box, const QColor& colour) {
            for (int y = box.top(); y <= box.bottom(); ++y) {
                for (int x = box.left(); x <= box.right(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    const bool red = c.red() > 150 && c.green() < 110 && c.blue() < 110;
                    const bool blue = c.blue() > 150 && c.red() < 110 && c.green() < 110;
                    if (colour == kRed ? red : blue) {
                        return true;
                    }
                }
            }
            return false;
        };
        const Mark colours[] = {Mark::Blue, Mark::Red, Mark::Black};
        for (int round = 0; round < 12; ++round) {
            for (int k = 0; k < 60; ++k) {
                view->markSource(static_cast<int>(random() % source.size()), colours[random() % 3]);
            }
            const int underlined = static_cast<int>(random() % source.size());
            view->markSource(underlined, Mark::UnderlineOn);
            QImage whole(viewport->size(), QImage::Format_RGB32);
            viewport->render(&whole);
            for (int p = 0; p + 1 < text.size(); ++p) {
                const Look look = LookAt(view.get(), p);
                const QRect from = view->cursorRect(p);
                const QRect to = view->cursorRect(p + 1);
                if (look.colour == kBlack || text[p].isSpace() || from.top() != to.top() ||
                    !viewport->rect().contains(from)) {
                    continue;
                }
                const QRect box(QPoint(from.left() + 1, from.top()),
                                QPoint(to.left() - 2, from.bottom()));
                QVERIFY2(shows(whole, box, look.colour),
                         qPrintable(QStringLiteral("%1 at %2").arg(text[p]).arg(p)));
            }
            for (int r = 0; r < 10; ++r) {
                const int x = static_cast<int>(random() % static_cast<unsigned>(viewport->width()));
                const int y =
                    static_cast<int>(random() % static_cast<unsigned>(viewport->height()));
                const QRect part = QRect(x, y, 1 + static_cast<int>(random() % 80),
                                         1 + static_cast<int>(random() % 50)) &
                                   viewport->rect();
                QImage repainted = whole;
                repainted.fill(Qt::magenta);
                viewport->render(&repainted, part.topLeft(), QRegion(part));
                QCOMPARE(repainted.copy(part), whole.copy(part));
            }
            view->markSource(underlined, Mark::UnderlineOff);
        }
    }

    // Taken in slice by slice in idle time, a text reads and addresses exactly
    // as taken in at once, wherever the slices cut its groups.
    void idleLoadingEqualsLoadingAtOnce() {
        std::mt19937 random(7);
        const char pieces[][3] = {"a",        " ",        "\r\n", "\n",   "\r",
                                  "\xB0\xA1", "\x81\x40", "\x80", "\xFF", "\x81\x20"};
        std::string source;
        while (source.size() < 100000) {
            source += pieces[random() % std::size(pieces)];
        }
        const auto atOnce = MakeView(source);
        SourceView idle;
        idle.setSourceText(source, true);
        QTRY_VERIFY_WITH_TIMEOUT(idle.characterCount() == atOnce->characterCount(), 5000);
        QCOMPARE(idle.shownText(), atOnce->shownText());
        QCOMPARE(idle.gbkText(), source);
        // Read from the caller's bytes, without a copy, the same.
        SourceView borrowing;
        borrowing.setSourceTextFrom(source);
        QCOMPARE(borrowing.shownText(), atOnce->shownText());
        // Every offset, asked in any order, addresses the character it is in
        // (on a group's second byte, the one after it; none past the last).
        std::vector<int> expected;
        int position = 0;
        int breaks = 0; // CR LF, CR or LF, each a line break
        for (std::size_t i = 0; i < source.size(); ++position) {
            const auto b = static_cast<unsigned char>(source[i]);
            breaks += b == '\r' || b == '\n' ? 1 : 0;
            const bool pair = i + 1 < source.size() &&
                              ((b >= 0x81 && b <= 0xFE) || (b == '\r' && source[i + 1] == '\n'));
            expected.push_back(position);
            if (pair) {
                expected.push_back(position + 1);
            }
            i += pair ? 2 : 1;
        }
        std::replace(expected.begin(), expected.end(), position, -1);
        QCOMPARE(borrowing.characterCount(), position);
        QCOMPARE(borrowing.paragraphCount(), breaks + 1);
        std::vector<int> offsets(source.size() + 2);
        std::iota(offsets.begin(), offsets.end(), -1);
        for (int round = 0; round < 3; ++round) {
            for (const int offset : offsets) {
                const int want = offset >= 0 && offset < std::ssize(expected)
                                     ? expected[static_cast<std::size_t>(offset)]
                                     : -1;
                QCOMPARE(borrowing.positionAt(offset), want);
                QCOMPARE(idle.positionAt(offset), want);
                QCOMPARE(atOnce->positionAt(offset), want);
            }
            std::shuffle(offsets.begin(), offsets.end(), random);
            std::sort(offsets.begin(), offsets.begin() + std::ssize(offsets) / 2,
                      std::greater<>()); // half going back, half anywhere
        }
    }

    void lineLengthsComeFromTheViewsOwnLayout() {
        const auto view = MakeView(Gbk("汉字ab\r\n第二行"));
        QCOMPARE(view->lineByteLength(0), 6);
        QCOMPARE(view->lineByteLength(1), 6);
        QCOMPARE(view->lineByteLength(2), 0);
        QCOMPARE(view->lineByteLength(-1), 0);

        std::string longLine;
        for (int i = 0; i < 150; ++i) {
            longLine += Gbk("汉");
        }
        const auto wrapped = MakeView(longLine);
        const int first = wrapped->lineByteLength(0);
        QVERIFY2(first > 0 && first < 300, qPrintable(QString::number(first)));
        int total = 0;
        for (int line = 0; line < 10; ++line) {
            total += wrapped->lineByteLength(line);
        }
        QCOMPARE(total, 300);
        // Narrower, the lines are shorter and the bytes the same.
        wrapped->resize(wrapped->width() / 2, wrapped->height());
        QVERIFY(wrapped->lineByteLength(0) < first);
        total = 0;
        for (int line = 0; line < 20; ++line) {
            total += wrapped->lineByteLength(line);
        }
        QCOMPARE(total, 300);
        // The character at the top stays on top when the lines break afresh.
        std::string tallText;
        for (int i = 0; i < 1500; ++i) {
            tallText += Gbk("汉");
        }
        const auto tall = MakeView(tallText);
        tall->verticalScrollBar()->setValue(12);
        const int top = tall->positionAtPoint(QPoint(5, 5));
        QVERIFY(top > 0);
        tall->resize(tall->width() / 2, tall->height());
        const QRect at = tall->cursorRect(top);
        QVERIFY2(at.top() >= 0 && at.top() < at.height(), qPrintable(QString::number(at.top())));
    }

    // A long text taken in before the view is first shown is not broken into
    // lines afresh when it comes on screen (Qt gives each block it breaks a
    // layout of a few hundred bytes): showing it costs what showing a short
    // one does (the window's own memory), taken in idle time or at once.
    void aLongTextIsShownForWhatIsOnScreen() {
        std::string longText;
        for (int i = 0; i < 20000; ++i) {
            longText += Gbk("第") + std::to_string(i) + "\r\n";
        }
        const std::string shortText = Gbk("第0");
        long long cost[3] = {};
        for (int i = 0; i < 3; ++i) {
            SourceView view;
            view.resize(865, 225);
            view.setFont(SongFont(19));
            if (i == 0) {
                view.setSourceText(shortText);
            } else if (i == 1) {
                view.setSourceTextFrom(longText);
                QTRY_VERIFY(view.paragraphCount() == 20001);
            } else {
                view.setSourceText(longText);
            }
            const long long before = HeapInUse();
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            view.repaint();
            cost[i] = HeapInUse() - before;
            if (i > 0) {
                QCOMPARE(view.lineByteLength(19999), 7);
            }
        }
        for (const long long longCost : {cost[1], cost[2]}) {
            QVERIFY2(longCost < cost[0] + 500'000,
                     qPrintable(QStringLiteral("%1 vs %2").arg(longCost).arg(cost[0])));
        }
    }

    // Only the paragraphs on screen keep their layouts.
    void blocksOffScreenLetTheirGlyphsGo() {
        std::string source;
        for (int i = 0; i < 200; ++i) {
            source += Gbk("第") + std::to_string(i) + "\r\n";
        }
        const auto view = MakeView(source);
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->repaint();
        const int onScreen = view->layoutsKept();
        QVERIFY(onScreen > 5 && onScreen < 20);
        view->verticalScrollBar()->setValue(100);
        view->repaint();
        QCoreApplication::processEvents();
        QCOMPARE(view->layoutsKept(), onScreen);       // one line per paragraph
        QVERIFY(view->cursorRect(100 * 5).top() >= 0); // on screen
        const long long made = view->layoutsMade();
        QCOMPARE(view->lineByteLength(0), 3); // laid out again, same line
        QCOMPARE(view->layoutsMade(), made + 1);
    }

    // A short-line source is indexed in a few bytes per paragraph, without a
    // copy of its text.
    void aShortLineSourceIsIndexedCompactly() {
        std::string source;
        while (source.size() < 2'000'000) {
            source += Gbk("春眠不觉晓处处闻啼鸟") + "\r\n";
        }
        malloc_trim(0);
        const long long before = HeapInUse();
        SourceView view;
        view.resize(865, 225);
        view.setFont(SongFont(19));
        view.setSourceTextFrom(source);
        view.finishLoading();
        const long long cost = HeapInUse() - before;
        const long long paragraphs = view.paragraphCount();
        QCOMPARE(paragraphs, static_cast<long long>(source.size() / 22 + 1));
        QVERIFY2(
            cost < paragraphs * 12 + 200'000,
            qPrintable(QStringLiteral("%1 bytes for %2 paragraphs").arg(cost).arg(paragraphs)));
        QVERIFY(view.indexBytes() < static_cast<std::size_t>(paragraphs) * 10 + source.size() / 64);
    }

    // A paragraph of a million characters shows at once and scrolls page by
    // page, laying out about what comes on screen.
    void aLongOneLineSourceScrollsWithBoundedWork() {
        std::mt19937 random(5);
        const char* pieces[] = {"汉", "字", "，", "a", "bc ", " ", "2026"};
        std::string source;
        while (source.size() < 2'000'000) {
            source += Gbk(pieces[random() % std::size(pieces)]);
        }
        const auto view = MakeView(source);
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->repaint();
        QVERIFY2(view->layoutsMade() < 10, qPrintable(QString::number(view->layoutsMade())));
        QVERIFY(view->verticalScrollBar()->maximum() > 10000);
        view->setFocus();
        for (int page = 0; page < 30; ++page) {
            const long long made = view->layoutsMade();
            QTest::keyClick(view.get(), Qt::Key_PageDown);
            view->repaint();
            view->markSource(static_cast<int>(random() % 4000), Mark::Red);
            QVERIFY2(view->layoutsMade() - made <= 3,
                     qPrintable(QString::number(view->layoutsMade() - made)));
            QVERIFY(view->layoutsKept() <= 3);
        }
        const int down = view->verticalScrollBar()->value();
        QVERIFY(down > 200);
        for (int page = 0; page < 10; ++page) {
            const long long made = view->layoutsMade();
            QTest::keyClick(view.get(), Qt::Key_PageUp);
            view->repaint();
            QVERIFY(view->layoutsMade() - made <= 3);
        }
        QVERIFY(view->verticalScrollBar()->value() < down - 50);
        const QRect caret = view->cursorRect(view->cursorPosition());
        QVERIFY(caret.top() >= 0 && caret.bottom() < view->viewport()->height());
    }

    // A long paragraph laid out a segment at a time breaks its lines where one
    // layout of all of it does: line lengths, and characters kept in sight,
    // going back and forth over the segments' ends.
    void longParagraphsBreakAsOneLayoutDoes() {
        std::mt19937 random(3);
        const char* pieces[] = {"汉", "字", "，", "a", "bc ", " ", "2026", "Wf", "。", "   "};
        for (int round = 0; round < 3; ++round) {
            std::string paragraph;
            while (paragraph.size() < 24000) {
                paragraph += Gbk(pieces[random() % std::size(pieces)]);
            }
            const std::string source = Gbk("第一行") + "\r\n" + paragraph + "\r\n" + Gbk("末行");
            const auto view = MakeView(source);
            view->resize(250 + static_cast<int>(random() % 700), 225);
            QVERIFY(QTest::qWaitForWindowExposed(view.get()));
            const QString text = view->shownText().section(u'\n', 1, 1);
            QTextLayout whole(text, view->font());
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            whole.setTextOption(option);
            whole.beginLayout();
            for (QTextLine line = whole.createLine(); line.isValid(); line = whole.createLine()) {
                line.setLineWidth(view->viewport()->width() - 2 * view->documentMargin());
            }
            whole.endLayout();
            const int lines = whole.lineCount();
            QVERIFY(lines > 30);
            QCOMPARE(view->lineByteLength(0), 6);
            for (int i = 0; i < lines; ++i) {
                const QTextLine line = whole.lineAt(i);
                QCOMPARE(view->lineByteLength(i + 1),
                         GbkBytes(text.mid(line.textStart(), line.textLength())));
            }
            QCOMPARE(view->lineByteLength(lines + 1), 4);
            QCOMPARE(view->lineByteLength(lines + 2), 0);
            const int first = 4; // the paragraph's first position
            for (int k = 0; k < 40; ++k) {
                const QTextLine line =
                    whole.lineAt(static_cast<int>(random() % static_cast<unsigned>(lines)));
                const int start = first + line.textStart();
                const int offset = static_cast<int>(GbkBytes(view->shownText(0, start)));
                view->keepInSight(offset);
                QCOMPARE(view->positionAt(offset), start);
                const QRect at = view->cursorRect(start);
                QVERIFY(at.top() >= 0 && at.bottom() < view->viewport()->height());
                QCOMPARE(at.left(), qRound(view->documentMargin()));
                if (line.textStart() > 0) {
                    QVERIFY(view->cursorRect(start - 1).top() < at.top());
                }
            }
        }
    }

    // Every way of copying the whole source leaves the clipboard as it was.
    void theTextIsNeverCopied_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("clipboardKept"); // else emptied, never the source
        for (const char* key : {"Ctrl+C", "Ctrl+Insert", "Ctrl+X", "Shift+Delete"}) {
            QTest::newRow(key) << key << true;
        }
        QTest::newRow("a drag") << "drag" << true;
    }
    void theTextIsNeverCopied() {
        QFETCH(QString, route);
        QFETCH(bool, clipboardKept);
        const auto view = MakeView(Gbk("你好世界\r\n我们"));
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->setFocus();
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->setText(QStringLiteral("sentinel"));
        QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->selectedText(), QStringLiteral("你好世界\u2029我们"));
        if (route == QLatin1String("drag")) {
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(6, 10));
            QTest::mouseMove(view->viewport(), QPoint(60, 40));
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(60, 40));
            QVERIFY(view->hasSelection());
        } else {
            const QKeySequence keys(route);
            QTest::keyClick(view.get(), Qt::Key(keys[0].key()), keys[0].keyboardModifiers());
        }
        const QString text = clipboard->text();
        QVERIFY2(!text.contains(QStringLiteral("你好")), qPrintable(text));
        if (clipboardKept) {
            QCOMPARE(text, QStringLiteral("sentinel"));
        }
        if (clipboard->supportsSelection()) {
            QVERIFY(!clipboard->text(QClipboard::Selection).contains(QStringLiteral("你好")));
        }
        QCOMPARE(view->gbkText(), Gbk("你好世界\r\n我们"));

        // Whoever asks the view for its selection (copy, drag, X11 selection) gets nothing.
        OpenSourceView open;
        open.setSourceText(Gbk("你好"));
        open.selectAll();
        const std::unique_ptr<QMimeData> data(open.createMimeDataFromSelection());
        QVERIFY(data != nullptr);
        QVERIFY2(data->formats().isEmpty(), qPrintable(data->formats().join(',')));
    }

    // Nothing types into the view, whatever is selected and however it is set.
    void takesNoInput_data() {
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<bool>("editKeys"); // keys that edit text elsewhere
        QTest::newRow("caret") << false << false;
        QTest::newRow("all selected") << true << false;
        QTest::newRow("editing keys") << true << true;
    }
    void takesNoInput() {
        QFETCH(bool, selectAll);
        QFETCH(bool, editKeys);
        const auto view = MakeView(Gbk("你好"));
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->setFocus();
        if (editKeys) {
            for (const Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return}) {
                QTest::keyClick(view.get(), key);
            }
            QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
        }
        if (selectAll) {
            QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
        }
        QVERIFY(!view->inputMethodQuery(Qt::ImEnabled).toBool());
        Commit(view.get(), QStringLiteral("是"));
        QInputMethodEvent replace;
        replace.setCommitString(QStringLiteral("是"), -1, 1);
        QApplication::sendEvent(view.get(), &replace);
        TypeKey(view.get(), QStringLiteral("x"));
        QCOMPARE(view->shownText(), QStringLiteral("你好"));
        QVERIFY(!view->testAttribute(Qt::WA_InputMethodEnabled));
    }

    void noContextMenu() {
        const auto view = MakeView(Gbk("你好"));
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->selectAll();
        const QPoint at(20, 10);
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &e);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    }

    // A press on selected text would begin dragging it out: the selection goes.
    void aPressOnTheSelectionStartsNoDrag() {
        const auto view = MakeView(Gbk("你好世界"));
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->selectAll();
        const QPoint at = view->cursorRect(1).center();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!view->hasSelection());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
        // Selecting by dragging still works, for reading.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseMove(view->viewport(), at + QPoint(60, 0));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at + QPoint(60, 0));
        QVERIFY(view->hasSelection());
    }

    void aPressHandsOverAfterTheViewsOwnHandling() {
        const auto view = MakeView(Gbk("汉字"));
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->clearFocus();
        int calls = 0;
        view->setMousePressHandler([&] {
            ++calls;
            QVERIFY(view->hasFocus()); // the view took the press first
        });
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(calls, 1);
    }
};

QTEST_MAIN(SourceViewTest)
#include "SourceViewTest.moc"
