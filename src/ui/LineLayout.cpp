#include "LineLayout.h"

#include "platform/GbkText.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <utility>

namespace qarvel::ui {
namespace {

// The block's layout, laid out if the document layout has not done it yet.
QTextLayout* LaidOut(const QTextBlock& block) {
    QTextLayout* layout = block.layout();
    if (layout != nullptr && layout->lineCount() == 0) {
        if (auto* docLayout = block.document()->documentLayout()) {
            docLayout->blockBoundingRect(block);
        }
    }
    return layout;
}

int LineCountOf(const QTextBlock& block) {
    const QTextLayout* layout = LaidOut(block);
    return layout != nullptr && layout->lineCount() > 0 ? layout->lineCount() : 1;
}

// Pre-edit text sits in the layout's string but not in the document.
struct Preedit {
    int position = 0;
    int length = 0;
};

Preedit PreeditOf(const QTextLayout* layout) {
    if (layout == nullptr) {
        return {};
    }
    const int position = layout->preeditAreaPosition();
    const int length = static_cast<int>(layout->preeditAreaText().size());
    return position >= 0 ? Preedit{position, length} : Preedit{};
}

int LayoutToBlock(int x, Preedit p) {
    if (p.length == 0 || x <= p.position) {
        return x;
    }
    return x >= p.position + p.length ? x - p.length : p.position;
}

int BlockToLayout(int x, Preedit p) {
    return p.length == 0 || x <= p.position ? x : x + p.length;
}

// Block-relative document range [first, second) of line `index` of the block.
std::pair<int, int> LineRange(const QTextBlock& block, int index) {
    const QTextLayout* layout = block.layout();
    const int blockLength = static_cast<int>(block.text().size());
    if (layout == nullptr || index >= layout->lineCount()) {
        return {0, blockLength};
    }
    const QTextLine line = layout->lineAt(index);
    const Preedit p = PreeditOf(layout);
    const int from = std::clamp(LayoutToBlock(line.textStart(), p), 0, blockLength);
    const int to =
        std::clamp(LayoutToBlock(line.textStart() + line.textLength(), p), from, blockLength);
    return {from, to};
}

bool IsLineBreak(QChar c) {
    return c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c == u'\n' || c == u'\r';
}

int ByteLength(QString text) {
    while (!text.isEmpty() && IsLineBreak(text.back())) {
        text.chop(1);
    }
    return platform::GbkLength(text);
}

// Byte length of line `index` of `block` (a line it does not have: 0).
int BlockLineByteLength(const QTextBlock& block, int index) {
    if (index >= LineCountOf(block)) {
        return 0;
    }
    const auto [from, to] = LineRange(block, index);
    return std::min(ByteLength(block.text().mid(from, to - from)), kMaxLineBytes);
}

// Line within `block` and byte column of document position `position` in it.
LinePosition LineInBlock(const QTextBlock& block, int position) {
    const QString text = block.text();
    const int offset = std::clamp(position - block.position(), 0, static_cast<int>(text.size()));
    const QTextLayout* layout = LaidOut(block);
    if (layout == nullptr || layout->lineCount() == 0) {
        return {0, ByteLength(text.left(offset))};
    }
    QTextLine textLine = layout->lineForTextPosition(BlockToLayout(offset, PreeditOf(layout)));
    if (!textLine.isValid()) {
        textLine = layout->lineAt(layout->lineCount() - 1);
    }
    const int from = LineRange(block, textLine.lineNumber()).first;
    return {textLine.lineNumber(), ByteLength(text.mid(from, std::max(offset - from, 0)))};
}

// The block holding `position`, or the last one with `position` moved to its end.
QTextBlock BlockAt(const QTextDocument& document, int& position) {
    QTextBlock block = document.findBlock(std::max(position, 0));
    if (!block.isValid()) {
        block = document.lastBlock();
        position = block.position() + block.length() - 1;
    }
    return block;
}

} // namespace

int VisualLineCount(const QTextDocument& document) {
    int count = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        count += LineCountOf(block);
    }
    return count;
}

int VisualLineByteLength(const QTextDocument& document, int line) {
    if (line < 0) {
        return 0;
    }
    int first = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int count = LineCountOf(block);
        if (line < first + count) {
            return BlockLineByteLength(block, line - first);
        }
        first += count;
    }
    return 0;
}

LinePosition VisualLineOf(const QTextDocument& document, int position) {
    const QTextBlock block = BlockAt(document, position);
    int line = 0;
    for (QTextBlock b = document.begin(); b.isValid() && b != block; b = b.next()) {
        line += LineCountOf(b);
    }
    const LinePosition in = LineInBlock(block, position);
    return {line + in.line, in.column};
}

VisualLineIndex::VisualLineIndex(const QTextDocument& document, std::function<int()> viewWidth)
    : document_(document), viewWidth_(std::move(viewWidth)), shape_(currentShape()) {
    changed_ = QObject::connect(
        &document, &QTextDocument::contentsChange, &document, [this](int position, int, int) {
            const QTextBlock block = document_.findBlock(position);
            const std::size_t keep =
                block.isValid() ? static_cast<std::size_t>(block.blockNumber()) + 1 : 1;
            if (starts_.size() > keep) {
                starts_.resize(keep);
            }
        });
}

VisualLineIndex::~VisualLineIndex() {
    QObject::disconnect(changed_);
}

VisualLineIndex::Shape VisualLineIndex::currentShape() const {
    Shape shape;
    // A plain-text layout's width is its view's, or wider when a line does not fit.
    const auto* plain = qobject_cast<const QPlainTextDocumentLayout*>(document_.documentLayout());
    shape.width = plain != nullptr ? plain->documentSize().width() : document_.textWidth();
    shape.viewWidth = viewWidth_ ? viewWidth_() : 0;
    shape.font = document_.defaultFont();
    shape.wrap = document_.defaultTextOption().wrapMode();
    shape.tabStop = document_.defaultTextOption().tabStopDistance();
    return shape;
}

void VisualLineIndex::checkShape() {
    Shape now = currentShape();
    if (!(now == shape_)) {
        shape_ = std::move(now);
        starts_.assign(1, 0);
    }
}

void VisualLineIndex::extendTo(int number) {
    number = std::min(number, document_.blockCount() - 1);
    auto have = static_cast<int>(starts_.size()) - 1;
    if (have >= number) {
        return;
    }
    QTextBlock block = document_.findBlockByNumber(have);
    for (; have < number && block.isValid(); ++have, block = block.next()) {
        starts_.push_back(starts_.back() + LineCountOf(block));
    }
}

int VisualLineIndex::byteLength(int line) {
    if (line < 0) {
        return 0;
    }
    checkShape();
    const int last = document_.blockCount() - 1;
    // Extend in steps until the table passes the line or reaches the last block.
    for (int step = 64; starts_.back() <= line && static_cast<int>(starts_.size()) - 1 < last;
         step *= 2) {
        extendTo(static_cast<int>(starts_.size()) - 1 + step);
    }
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), line);
    const auto number = static_cast<int>(after - starts_.begin()) - 1;
    const int first = starts_[static_cast<std::size_t>(number)];
    return BlockLineByteLength(document_.findBlockByNumber(number), line - first);
}

LinePosition VisualLineIndex::lineOf(int position) {
    checkShape();
    const QTextBlock block = BlockAt(document_, position);
    extendTo(block.blockNumber());
    const LinePosition in = LineInBlock(block, position);
    return {starts_[static_cast<std::size_t>(block.blockNumber())] + in.line, in.column};
}

VisualLineIndex& LinesOfEdit(const QPlainTextEdit& edit, std::shared_ptr<VisualLineIndex>& index,
                             const QTextDocument*& indexed) {
    if (!index || indexed != edit.document()) {
        indexed = edit.document();
        index = std::make_shared<VisualLineIndex>(*edit.document(),
                                                  [&edit] { return edit.viewport()->width(); });
    }
    return *index;
}

} // namespace qarvel::ui
