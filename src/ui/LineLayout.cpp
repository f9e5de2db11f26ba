#include "LineLayout.h"

#include "platform/GbkText.h"

#include <QAbstractTextDocumentLayout>
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
            const auto [from, to] = LineRange(block, line - first);
            return std::min(ByteLength(block.text().mid(from, to - from)), kMaxLineBytes);
        }
        first += count;
    }
    return 0;
}

LinePosition VisualLineOf(const QTextDocument& document, int position) {
    QTextBlock block = document.findBlock(std::max(position, 0));
    if (!block.isValid()) {
        block = document.lastBlock();
        position = block.position() + block.length() - 1;
    }
    int line = 0;
    for (QTextBlock b = document.begin(); b.isValid() && b != block; b = b.next()) {
        line += LineCountOf(b);
    }
    const QString text = block.text();
    const int offset = std::clamp(position - block.position(), 0, static_cast<int>(text.size()));
    const QTextLayout* layout = LaidOut(block);
    if (layout == nullptr || layout->lineCount() == 0) {
        return {line, ByteLength(text.left(offset))};
    }
    QTextLine textLine = layout->lineForTextPosition(BlockToLayout(offset, PreeditOf(layout)));
    if (!textLine.isValid()) {
        textLine = layout->lineAt(layout->lineCount() - 1);
    }
    const int from = LineRange(block, textLine.lineNumber()).first;
    return {line + textLine.lineNumber(), ByteLength(text.mid(from, std::max(offset - from, 0)))};
}

} // namespace qarvel::ui
