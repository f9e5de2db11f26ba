// The source's paragraphs broken into lines: the same lines as one layout of
// each whole paragraph, found forwards, backwards, by number and by position;
// line counts learnt are reported once; the layouts kept stay few.
#include "ui/ParagraphLayouts.h"

#include "UiTestSupport.h"
#include "platform/GbkText.h"
#include "ui/Fonts.h"

#include <QtTest>
#include <numeric>
#include <random>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;
using Line = ParagraphLayouts::Line;

namespace {

ParagraphLayouts::Shape ShapeOf(qreal lineWidth) {
    return {SongFont(19), lineWidth, 4, static_cast<int>(lineWidth) + 8};
}

// The first character of every line, each paragraph laid out whole.
std::vector<int> LineStarts(const qarvel::exam::SourceIndex& index,
                            const ParagraphLayouts::Shape& shape) {
    std::vector<int> starts;
    for (int p = 0; p < index.paragraphCount(); ++p) {
        const int first = index.paragraphStart(p);
        QTextLayout whole(
            qarvel::platform::ShownCharacters(index, first, first + index.paragraphLength(p)),
            shape.font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        whole.setTextOption(option);
        whole.beginLayout();
        for (QTextLine line = whole.createLine(); line.isValid(); line = whole.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(shape.lineWidth);
        }
        whole.endLayout();
        for (int i = 0; i < std::max(whole.lineCount(), 1); ++i) {
            starts.push_back(first + (whole.lineCount() > 0 ? whole.lineAt(i).textStart() : 0));
        }
    }
    return starts;
}

} // namespace

class ParagraphLayoutsTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreThoseOfWholeParagraphs() {
        std::mt19937 random(9);
        const char* pieces[] = {"汉", "字，", "a", "bc ", " ", "2026", "Wf", "。"};
        for (int round = 0; round < 3; ++round) {
            std::string source;
            for (int p = 0; p < 12; ++p) {
                // Mostly short paragraphs, one long enough to be found in segments.
                const std::size_t size = p == 5 ? 20000 : random() % 300;
                std::string paragraph;
                while (paragraph.size() < size) {
                    paragraph += Gbk(pieces[random() % std::size(pieces)]);
                }
                source += paragraph + (p < 11 ? "\r\n" : "");
            }
            qarvel::exam::SourceIndex index;
            index.reset(source);
            index.indexAll();
            const auto shape = ShapeOf(200 + static_cast<int>(random() % 600));
            const std::vector<int> starts = LineStarts(index, shape);

            ParagraphLayouts layouts;
            layouts.reset(index, shape);
            // Forwards by next(), then back by previous().
            std::vector<Line> lines{Line{}};
            for (Line at = layouts.next(lines.back()); !(at == lines.back());
                 at = layouts.next(lines.back())) {
                lines.push_back(at);
            }
            QCOMPARE(lines.size(), starts.size());
            QCOMPARE(layouts.totalLines(), static_cast<int>(starts.size()));
            for (std::size_t n = lines.size(); n-- > 1;) {
                QCOMPARE(layouts.previous(lines[n]), lines[n - 1]);
            }
            // Every line by number and by its first character, in random order.
            std::vector<std::size_t> order(lines.size());
            std::iota(order.begin(), order.end(), 0);
            std::shuffle(order.begin(), order.end(), random);
            for (const std::size_t n : order) {
                const Line line = lines[n];
                QCOMPARE(layouts.lineStart(line), starts[n]);
                QCOMPARE(layouts.numberOf(line), static_cast<int>(n));
                QCOMPARE(layouts.lineAtNumber(static_cast<int>(n)), line);
                QCOMPARE(layouts.lineOfPosition(starts[n]), line);
            }
            QVERIFY(layouts.layoutsKept() < 60);
        }
    }

    // Learning a paragraph's lines is reported once; laying it out again, or
    // starting over, reports nothing.
    void lineCountChangesAreReportedOnce() {
        std::string source = Gbk("短") + "\r\n";
        for (int i = 0; i < 200; ++i) {
            source += Gbk("汉");
        }
        qarvel::exam::SourceIndex index;
        index.reset(source);
        index.indexAll();
        ParagraphLayouts layouts;
        layouts.reset(index, ShapeOf(300));
        QVERIFY(!layouts.takeLineCountChange());
        (void)layouts.textLine({0, 0}); // one line: as counted before
        QVERIFY(!layouts.takeLineCountChange());
        QCOMPARE(layouts.totalLines(), 2);
        (void)layouts.textLine({1, 0});
        QVERIFY(layouts.takeLineCountChange());
        QVERIFY(!layouts.takeLineCountChange());
        QVERIFY(layouts.totalLines() > 5);
        layouts.keepOnly({});
        (void)layouts.textLine({1, 2}); // laid out again, the count known
        QVERIFY(!layouts.takeLineCountChange());
        layouts.reset(index, ShapeOf(300));
        QVERIFY(!layouts.takeLineCountChange());
        QCOMPARE(layouts.totalLines(), 2);
    }

    // Walking a long text keeps a bounded number of layouts, and measuring
    // line lengths from the top gives the bytes of every line.
    void aWalkKeepsFewLayouts() {
        std::string source;
        for (int i = 0; i < 2000; ++i) {
            source += Gbk("第") + std::to_string(i) + "\r\n";
        }
        qarvel::exam::SourceIndex index;
        index.reset(source);
        index.indexAll();
        ParagraphLayouts layouts;
        layouts.reset(index, ShapeOf(500));
        Line at;
        for (int n = 0; n < 2000; ++n) {
            layouts.beginUse();
            (void)layouts.textLine(at);
            at = layouts.next(at);
            QVERIFY(layouts.layoutsKept() <= 48);
        }
        QCOMPARE(layouts.lineByteLength(0), 3);
        QCOMPARE(layouts.lineByteLength(1999), 2 + 4);
        QCOMPARE(layouts.lineByteLength(2000), 0); // the empty last paragraph
        QCOMPARE(layouts.lineByteLength(2001), 0);
        QVERIFY(layouts.layoutsKept() <= 48);
    }
};

QTEST_MAIN(ParagraphLayoutsTest)
#include "ParagraphLayoutsTest.moc"
