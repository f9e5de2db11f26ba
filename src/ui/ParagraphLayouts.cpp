#include "ParagraphLayouts.h"

#include "LineLayout.h"
#include "platform/GbkText.h"

#include <QFontMetrics>
#include <algorithm>
#include <climits>
#include <cmath>

namespace qarvel::ui {
namespace {

// A paragraph longer than this many characters is laid out a segment (about
// this many characters, ending at a line start) at a time.
constexpr int kSegment = 4096;
// Layouts kept beyond those in use at most.
constexpr std::size_t kKeptLayouts = 48;
constexpr long long kKeptCharacters = 8 * kSegment;

// The segment that `value` falls in, from the first line or character of each
// segment (ascending, the first being 0).
int SegmentAt(const std::vector<int>& firsts, int value) {
    const auto it = std::upper_bound(firsts.begin(), firsts.end(), value);
    return std::max(static_cast<int>(it - firsts.begin()) - 1, 0);
}

} // namespace

void ParagraphLayouts::reset(const exam::SourceIndex& index, Shape shape) {
    index_ = &index;
    shape_ = std::move(shape);
    pieces_.clear();
    long_.clear();
    lineBytes_.clear();
    lineBytesNext_ = {};
    lastScreen_ = -1;
    lines_.reset(index.complete() ? index.paragraphCount() : 1);
}

bool ParagraphLayouts::isLong(int paragraph) const {
    return index_->paragraphLength(paragraph) > kSegment;
}

void ParagraphLayouts::setLinesOf(int paragraph, int lines) {
    if (lines_.setLinesOf(paragraph, lines)) {
        lastScreen_ = -1;
        linesChanged_ = true;
    }
}

void ParagraphLayouts::ensureCounted(int paragraph) {
    if (!lines_.counted(paragraph)) {
        (void)piece(paragraph, 0);
    }
}

qreal ParagraphLayouts::advance(const QTextLine& line) {
    qreal height = line.height();
    if (line.leading() < 0) {
        height += std::ceil(line.leading());
    }
    return height;
}

std::unique_ptr<QTextLayout> ParagraphLayouts::layOut(int paragraph, int from, int to) {
    const int start = index_->paragraphStart(paragraph);
    auto layout = std::make_unique<QTextLayout>(
        platform::ShownCharacters(*index_, start + from, start + to), shape_.font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    qreal height = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(shape_.lineWidth);
        line.setPosition(QPointF(shape_.margin, height));
        height += advance(line);
    }
    layout->endLayout();
    ++made_;
    return layout;
}

ParagraphLayouts::LongParagraph& ParagraphLayouts::longOf(int paragraph) {
    const auto found = long_.find(paragraph);
    if (found != long_.end()) {
        return found->second;
    }
    LongParagraph& entry = long_[paragraph];
    extendOnce(paragraph);
    return entry;
}

void ParagraphLayouts::extendOnce(int paragraph) {
    // The next segment laid out from the last line start found: its lines but
    // the last, which the segment's end may have cut, are the paragraph's.
    LongParagraph& entry = long_[paragraph];
    if (entry.complete) {
        return;
    }
    const int length = index_->paragraphLength(paragraph);
    const int segment = static_cast<int>(entry.starts.size()) - 1;
    const int from = entry.starts.back();
    const int to = std::min(length, from + kSegment);
    std::unique_ptr<QTextLayout> layout = layOut(paragraph, from, to);
    const int laid = layout->lineCount();
    int lines = laid;
    int end = to;
    if (to == length) {
        entry.complete = true;
    } else if (laid > 1) {
        lines = laid - 1;
        end = from + layout->lineAt(lines).textStart();
    }
    const int firstLine = entry.lines.back();
    if (!entry.complete) {
        entry.starts.push_back(end);
        entry.lines.push_back(firstLine + lines);
    }
    // Lines found, and those of the rest guessed at the rate found so far.
    const int known = firstLine + lines;
    const int rest = length - end;
    const int guessed =
        entry.complete ? 0
                       : static_cast<int>((static_cast<long long>(rest) * known + end - 1) / end);
    entry.lineCount = known + guessed;
    setLinesOf(paragraph, entry.lineCount);

    auto made = std::make_unique<Piece>();
    made->paragraph = paragraph;
    made->segment = segment;
    made->from = from;
    made->to = entry.complete ? length : end;
    made->firstLine = firstLine;
    made->lines = lines;
    made->layout = std::move(layout);
    made->serial = made_;
    made->used = 0; // kept only while nothing else needs the room
    trim();
    pieces_.push_back(std::move(made));
}

void ParagraphLayouts::extendToLine(int paragraph, int line) {
    LongParagraph& entry = longOf(paragraph);
    while (!entry.complete && entry.lines.back() <= line) {
        extendOnce(paragraph);
    }
}

void ParagraphLayouts::extendToCharacter(int paragraph, int character) {
    LongParagraph& entry = longOf(paragraph);
    while (!entry.complete && entry.starts.back() <= character) {
        extendOnce(paragraph);
    }
}

int ParagraphLayouts::segmentOfLine(int paragraph, int line) {
    if (!isLong(paragraph)) {
        return 0;
    }
    extendToLine(paragraph, line);
    return SegmentAt(long_.at(paragraph).lines, line);
}

int ParagraphLayouts::segmentOfCharacter(int paragraph, int character) {
    if (!isLong(paragraph)) {
        return 0;
    }
    extendToCharacter(paragraph, character);
    return SegmentAt(long_.at(paragraph).starts, character);
}

ParagraphLayouts::Piece* ParagraphLayouts::kept(int paragraph, int segment) {
    for (const auto& p : pieces_) {
        if (p->paragraph == paragraph && p->segment == segment) {
            p->used = uses_;
            return p.get();
        }
    }
    return nullptr;
}

ParagraphLayouts::Piece& ParagraphLayouts::piece(int paragraph, int segment) {
    if (Piece* found = kept(paragraph, segment)) {
        return *found;
    }
    trim();
    auto made = std::make_unique<Piece>();
    made->paragraph = paragraph;
    made->segment = segment;
    made->used = uses_;
    if (!isLong(paragraph)) {
        made->to = index_->paragraphLength(paragraph);
        made->layout = layOut(paragraph, 0, made->to);
        made->serial = made_;
        made->lines = std::max(made->layout->lineCount(), 1);
        setLinesOf(paragraph, made->lines);
    } else {
        LongParagraph& entry = longOf(paragraph);
        while (!entry.complete && segment + 1 >= static_cast<int>(entry.starts.size())) {
            extendOnce(paragraph); // makes the piece of the segment it finds
        }
        if (Piece* found = kept(paragraph, segment)) {
            return *found;
        }
        const int length = index_->paragraphLength(paragraph);
        const auto at = static_cast<std::size_t>(segment);
        made->from = entry.starts[at];
        const bool last = at + 1 >= entry.starts.size();
        made->to = last ? length : entry.starts[at + 1];
        made->firstLine = entry.lines[at];
        made->layout = layOut(paragraph, made->from, std::min(length, made->from + kSegment));
        made->serial = made_;
        made->lines = last ? made->layout->lineCount() : entry.lines[at + 1] - made->firstLine;
    }
    pieces_.push_back(std::move(made));
    return *pieces_.back();
}

ParagraphLayouts::Piece& ParagraphLayouts::pieceOfLine(int paragraph, int line) {
    return piece(paragraph, segmentOfLine(paragraph, line));
}

ParagraphLayouts::Piece& ParagraphLayouts::pieceOfCharacter(int paragraph, int character) {
    return piece(paragraph, segmentOfCharacter(paragraph, character));
}

void ParagraphLayouts::trim() {
    // Layouts not used in the current use go, the oldest first, beyond a few.
    long long characters = 0;
    for (const auto& p : pieces_) {
        characters += p->to - p->from;
    }
    if ((pieces_.size() < kKeptLayouts && characters < kKeptCharacters) ||
        std::all_of(pieces_.begin(), pieces_.end(),
                    [this](const auto& p) { return p->used == uses_; })) {
        return;
    }
    std::vector<std::unique_ptr<Piece>> keep;
    std::stable_sort(pieces_.begin(), pieces_.end(),
                     [](const auto& a, const auto& b) { return a->used > b->used; });
    characters = 0;
    for (auto& p : pieces_) {
        if (p->used == uses_ ||
            (keep.size() < kKeptLayouts / 2 && characters < kKeptCharacters / 2)) {
            characters += p->to - p->from;
            keep.push_back(std::move(p));
        }
    }
    pieces_ = std::move(keep);
}

void ParagraphLayouts::keepOnly(const std::vector<const Piece*>& pieces) {
    std::erase_if(pieces_, [&](const std::unique_ptr<Piece>& p) {
        return std::find(pieces.begin(), pieces.end(), p.get()) == pieces.end();
    });
}

QTextLine ParagraphLayouts::textLine(Line line, const Piece** found) {
    const Piece& p = pieceOfLine(line.paragraph, line.line);
    if (found != nullptr) {
        *found = &p;
    }
    const int at = std::clamp(line.line - p.firstLine, 0, std::max(p.lines - 1, 0));
    return p.layout->lineAt(at);
}

ParagraphLayouts::Line ParagraphLayouts::lineAtNumber(int number) {
    const int paragraph = lines_.paragraphAtLine(number);
    int line = std::max(number, 0) - lines_.firstLineOf(paragraph);
    if (isLong(paragraph) && line > 0) {
        extendToLine(paragraph, line);
    }
    line = std::min(line, linesOf(paragraph) - 1);
    return {paragraph, line};
}

ParagraphLayouts::Line ParagraphLayouts::next(Line line) {
    ensureCounted(line.paragraph);
    if (isLong(line.paragraph)) {
        extendToLine(line.paragraph, line.line + 1);
    }
    if (line.line + 1 < linesOf(line.paragraph)) {
        return {line.paragraph, line.line + 1};
    }
    if (line.paragraph + 1 < paragraphCount()) {
        return {line.paragraph + 1, 0};
    }
    return line;
}

ParagraphLayouts::Line ParagraphLayouts::previous(Line line) {
    if (line.line > 0) {
        return {line.paragraph, line.line - 1};
    }
    if (line.paragraph == 0) {
        return line;
    }
    const int paragraph = line.paragraph - 1;
    ensureCounted(paragraph);
    if (isLong(paragraph)) {
        extendToLine(paragraph, INT_MAX);
    }
    return {paragraph, linesOf(paragraph) - 1};
}

ParagraphLayouts::Line ParagraphLayouts::step(Line line, int delta) {
    for (; delta > 0; --delta) {
        const Line after = next(line);
        if (after == line) {
            break;
        }
        line = after;
    }
    for (; delta < 0; ++delta) {
        const Line before = previous(line);
        if (before == line) {
            break;
        }
        line = before;
    }
    return line;
}

ParagraphLayouts::Line ParagraphLayouts::lineOfPosition(int position) {
    position = std::clamp(position, 0, index_->characterCount());
    const int paragraph = index_->paragraphOf(position);
    const int character = position - index_->paragraphStart(paragraph);
    const Piece& p = pieceOfCharacter(paragraph, character);
    QTextLine line = p.layout->lineForTextPosition(character - p.from);
    const int at = line.isValid() ? std::min(line.lineNumber(), p.lines - 1) : p.lines - 1;
    return {paragraph, p.firstLine + std::max(at, 0)};
}

int ParagraphLayouts::lineStart(Line line) {
    const Piece* p = nullptr;
    const QTextLine text = textLine(line, &p);
    return index_->paragraphStart(line.paragraph) + p->from + text.textStart();
}

int ParagraphLayouts::lineByteLength(int line) {
    // Lines counted from the top once, as far as asked: the answer box asks
    // about its own first lines, again and again.
    while (static_cast<int>(lineBytes_.size()) <= line) {
        beginUse(); // the lines passed may let their layouts go
        const Line at = lineBytesNext_;
        if (at.paragraph >= paragraphCount()) {
            return 0;
        }
        const Piece* p = nullptr;
        const QTextLine text = textLine(at, &p);
        const int first = index_->paragraphStart(at.paragraph);
        const int start = first + p->from + text.textStart();
        const int end = std::min(start + text.textLength(), first + p->to);
        lineBytes_.push_back(std::min(
            platform::GbkLength(platform::ShownCharacters(*index_, start, end)), kMaxLineBytes));
        const Line after = next(at);
        lineBytesNext_ = after == at ? Line{paragraphCount(), 0} : after;
    }
    return lineBytes_[static_cast<std::size_t>(line)];
}

int ParagraphLayouts::lastScreenLines(qreal visible) {
    // As a plain text edit counts: the lines that fill the viewport from the
    // end are the last screenful; a long last paragraph still being found is
    // taken at its guessed lines.
    if (lastScreen_ >= 0) {
        return lastScreen_;
    }
    const int count = paragraphCount();
    qreal y = 0;
    int fromBottom = 0;
    for (int paragraph = count - 1; paragraph >= 0; --paragraph) {
        if (isLong(paragraph) && !longOf(paragraph).complete) {
            fromBottom += std::max(1, static_cast<int>(visible) /
                                          std::max(1, QFontMetrics(shape_.font).lineSpacing()));
            break;
        }
        ensureCounted(paragraph);
        const int lines = linesOf(paragraph);
        std::vector<qreal> tops;
        qreal height = 0;
        for (int line = 0; line < lines; ++line) {
            const QTextLine text = textLine({paragraph, line});
            tops.push_back(height);
            height += advance(text);
        }
        if (paragraph == count - 1) {
            height += shape_.margin;
        }
        y += height;
        if (y > visible) {
            int line = 0;
            while (line < lines && tops[static_cast<std::size_t>(line)] < y - visible) {
                ++line;
            }
            fromBottom += lines - line;
            break;
        }
        fromBottom += lines;
    }
    lastScreen_ = fromBottom;
    return lastScreen_;
}

} // namespace qarvel::ui
