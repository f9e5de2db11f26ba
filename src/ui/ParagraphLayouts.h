#pragma once

#include "exam/LineCountTree.h"
#include "exam/SourceIndex.h"

#include <QFont>
#include <QTextLayout>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace qarvel::ui {

// The source's paragraphs broken into lines as a plain text edit breaks them,
// laid out when they are needed and let go when they are not; a very long
// paragraph is laid out a segment (a stretch of lines) at a time. Lines are
// counted in a LineCountTree as paragraphs are laid out; until then a
// paragraph counts one line.
//
// Laying out is what finds how many lines a paragraph takes: whoever shows the
// lines asks takeLineCountChange() after a use and places its scroll bar again.
class ParagraphLayouts {
public:
    // A visual line: paragraph and line within it.
    struct Line {
        int paragraph = 0;
        int line = 0;
        friend bool operator==(Line, Line) = default;
    };
    // A laid-out stretch of a paragraph: its characters [from, to) (relative to
    // the paragraph), lines numbered from `firstLine` within the paragraph.
    struct Piece {
        int paragraph = 0;
        int segment = 0;
        int from = 0;
        int to = 0;
        int firstLine = 0;
        int lines = 0; // lines of the layout that are this piece's
        std::unique_ptr<QTextLayout> layout;
        long long serial = 0; // this layout's number among all made: never reused
        std::uint64_t used = 0;
    };
    // How lines are laid out: the font, the width lines break at, the left
    // margin, and the width of the viewport they were broken for.
    struct Shape {
        QFont font;
        qreal lineWidth = 0;
        qreal margin = 0;
        int viewportWidth = -1;
    };

    // Every layout goes and every paragraph counts one line again: for an
    // `index` still being built, the text is taken as one empty paragraph.
    void reset(const exam::SourceIndex& index, Shape shape);
    [[nodiscard]] const Shape& shape() const { return shape_; }

    // Line counts as far as known.
    [[nodiscard]] int paragraphCount() const { return lines_.paragraphCount(); }
    [[nodiscard]] int linesOf(int paragraph) const { return lines_.linesOf(paragraph); }
    [[nodiscard]] int totalLines() const { return lines_.totalLines(); }
    [[nodiscard]] int numberOf(Line line) const {
        return lines_.firstLineOf(line.paragraph) + line.line;
    }
    // True once after line counts have changed.
    bool takeLineCountChange() { return std::exchange(linesChanged_, false); }

    // Lines the last screenful takes (those that fill `visible` pixels from the
    // end), kept until line counts change or forgetLastScreen().
    int lastScreenLines(qreal visible);
    void forgetLastScreen() { lastScreen_ = -1; }

    // Finding lines, laying out what they pass.
    Line lineAtNumber(int number);
    Line next(Line line);     // the same line at the end
    Line previous(Line line); // the same line at the start
    Line step(Line line, int delta);
    Line lineOfPosition(int position);
    // The first character of a line, over the whole text.
    int lineStart(Line line);
    // The laid-out text line of `line`, and the piece holding it.
    QTextLine textLine(Line line, const Piece** piece = nullptr);
    Piece& pieceOfLine(int paragraph, int line);
    Piece& pieceOfCharacter(int paragraph, int character);
    // GBK byte length of visual line `line` (line breaks not counted); 0 past
    // the last line. Lines are measured from the top once, as far as asked.
    int lineByteLength(int line);

    // Height a line advances by, as a plain text edit stacks its lines.
    [[nodiscard]] static qreal advance(const QTextLine& line);

    // Layouts not used since the last beginUse() may go when room is needed.
    void beginUse() { ++uses_; }
    // Only the layouts of these pieces stay.
    void keepOnly(const std::vector<const Piece*>& pieces);
    [[nodiscard]] long long layoutsMade() const { return made_; }
    [[nodiscard]] int layoutsKept() const { return static_cast<int>(pieces_.size()); }
    [[nodiscard]] std::size_t bytesUsed() const { return lines_.bytesUsed(); }

private:
    // Where the lines of a very long paragraph break: each segment begins at a
    // line start; those up to `known` characters are found.
    struct LongParagraph {
        std::vector<int> starts{0}; // first character of each segment
        std::vector<int> lines{0};  // first line of each segment
        bool complete = false;      // the last segment reaches the end
        int lineCount = 1;          // lines known plus those guessed
    };

    [[nodiscard]] bool isLong(int paragraph) const;
    void setLinesOf(int paragraph, int lines);
    void ensureCounted(int paragraph);
    LongParagraph& longOf(int paragraph);
    // Finds the segments of a long paragraph up to the one holding `line` or
    // character `character` (relative to the paragraph).
    void extendToLine(int paragraph, int line);
    void extendToCharacter(int paragraph, int character);
    void extendOnce(int paragraph);
    [[nodiscard]] std::unique_ptr<QTextLayout> layOut(int paragraph, int from, int to);
    Piece& piece(int paragraph, int segment);
    Piece* kept(int paragraph, int segment);
    int segmentOfLine(int paragraph, int line);
    int segmentOfCharacter(int paragraph, int character);
    void trim();

    const exam::SourceIndex* index_ = nullptr;
    Shape shape_;
    exam::LineCountTree lines_;
    bool linesChanged_ = false;
    int lastScreen_ = -1;
    std::map<int, LongParagraph> long_;
    std::vector<std::unique_ptr<Piece>> pieces_;
    std::uint64_t uses_ = 0;
    long long made_ = 0;
    // Byte lengths of the first visual lines, as far as asked.
    std::vector<int> lineBytes_;
    Line lineBytesNext_;
};

} // namespace qarvel::ui
