// Drawing the source's lines: each character in its marks' look, the selection
// and the caret where asked, the return sign only for an underlined line break.
#include "ui/SourcePainter.h"

#include "UiTestSupport.h"
#include "ui/Fonts.h"

#include <QPainter>
#include <QtTest>
#include <random>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;
using qarvel::exam::Mark;
using qarvel::exam::SourceMarks;

namespace {

struct Drawn {
    QImage image;
    std::vector<QRect> boxes; // of each character of the first paragraph
};

// A painter drawing the first paragraph of a source, at the top left of an image.
class PainterTest {
public:
    explicit PainterTest(const std::string& source) : source_(source) {
        index_.reset(source_);
        index_.indexAll();
        layouts_.reset(index_, {SongFont(19), 392, 4, 400});
    }

    Drawn draw(const SourcePainter::Scene& asked) {
        Drawn drawn{QImage(400, 200, QImage::Format_RGB32), {}};
        drawn.image.fill(Qt::white);
        const auto& piece = layouts_.pieceOfLine(0, 0);
        QPainter painter(&drawn.image);
        painter.setPen(Qt::black);
        SourcePainter::Scene scene = asked;
        scene.exposed = drawn.image.rect();
        painter_.drawPiece(painter, piece, 0, QPointF(0, 0), index_, marks_, scene);
        for (int p = 0; p < index_.paragraphLength(0); ++p) {
            const QTextLine line = piece.layout->lineForTextPosition(p);
            const qreal left = line.cursorToX(p);
            const qreal right = line.cursorToX(p + 1);
            drawn.boxes.push_back(
                QRectF(left, line.y(), right - left, line.height()).toAlignedRect());
        }
        return drawn;
    }

    qarvel::exam::SourceMarks marks_;

private:
    std::string source_;
    qarvel::exam::SourceIndex index_;
    ParagraphLayouts layouts_;
    SourcePainter painter_;
};

int CountColour(const QImage& image, const QRect& box, QRgb colour) {
    int count = 0;
    const QRect inside = box & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            count += image.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class SourcePainterTest : public QObject {
    Q_OBJECT

private slots:
    // Random marks: a character shows pure red or blue pixels exactly when it
    // is marked so; an underline puts its colour's line under the character.
    void everyCharacterInItsLook() {
        std::mt19937 random(4);
        const std::string source = Gbk("汉字汉字汉字汉字汉字汉字汉字汉字汉字汉字汉字汉字汉字汉字");
        PainterTest test(source);
        const Mark colours[] = {Mark::Red, Mark::Blue, Mark::Black};
        for (int round = 0; round < 5; ++round) {
            for (int p = 0; p < 28; ++p) {
                test.marks_.apply(p, colours[random() % 3]);
                test.marks_.apply(p, random() % 4 == 0 ? Mark::UnderlineOn : Mark::UnderlineOff);
            }
            const Drawn drawn = test.draw({});
            for (int p = 0; p < 28; ++p) {
                const QRect box = drawn.boxes[static_cast<std::size_t>(p)].adjusted(1, 0, -1, 0);
                const auto colour = SourceMarks::colourOf(test.marks_.at(p));
                const int red = CountColour(drawn.image, box, qRgb(255, 0, 0));
                const int blue = CountColour(drawn.image, box, qRgb(0, 0, 255));
                QVERIFY2((colour == SourceMarks::kRed) == (red > 0),
                         qPrintable(QString::number(p)));
                QVERIFY2((colour == SourceMarks::kBlue) == (blue > 0),
                         qPrintable(QString::number(p)));
                if (SourceMarks::underlined(test.marks_.at(p))) {
                    // A full row of the box's width in the character's colour.
                    const QRgb ink = colour == SourceMarks::kRed    ? qRgb(255, 0, 0)
                                     : colour == SourceMarks::kBlue ? qRgb(0, 0, 255)
                                                                    : qRgb(0, 0, 0);
                    bool row = false;
                    for (int y = box.top(); y <= box.bottom() && !row; ++y) {
                        row = CountColour(drawn.image, QRect(box.left(), y, box.width(), 1), ink) ==
                              box.width();
                    }
                    QVERIFY2(row, qPrintable(QString::number(p)));
                }
            }
        }
    }

    // The return sign shows right of the line's text when its line break is
    // underlined; the selection and the caret only when asked.
    void signSelectionAndCaret() {
        const std::string source = Gbk("你好") + "\r\n" + Gbk("世界");
        PainterTest test(source);
        const Drawn plain = test.draw({});
        const QRect afterText(plain.boxes.back().right() + 1, 0, 60, plain.boxes.back().bottom());
        test.marks_.apply(2, Mark::UnderlineOn);
        test.marks_.apply(2, Mark::Red);
        const Drawn signed_ = test.draw({});
        QVERIFY(CountColour(signed_.image, afterText, qRgb(255, 255, 255)) <
                CountColour(plain.image, afterText, qRgb(255, 255, 255)));
        // Nothing changes left of the text's end (but for the sign's soft edge).
        QCOMPARE(signed_.image.copy(0, 0, afterText.left() - 1, 40),
                 plain.image.copy(0, 0, afterText.left() - 1, 40));

        SourcePainter::Scene selected;
        selected.selectionStart = 0;
        selected.selectionEnd = 1;
        selected.highlight = QColor(0, 128, 0);
        selected.highlightedText = QColor(255, 255, 255);
        const Drawn shown = test.draw(selected);
        QVERIFY(CountColour(shown.image, shown.boxes[0], qRgb(0, 128, 0)) > 0);
        QCOMPARE(CountColour(shown.image, shown.boxes[1], qRgb(0, 128, 0)), 0);

        SourcePainter::Scene caret;
        caret.caret = 1;
        const Drawn withCaret = test.draw(caret);
        QVERIFY(withCaret.image != signed_.image);
        caret.caret = 4; // in the next paragraph: not drawn with this one
        QCOMPARE(test.draw(caret).image, signed_.image);
    }
};

QTEST_MAIN(SourcePainterTest)
#include "SourcePainterTest.moc"
