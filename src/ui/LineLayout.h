#pragma once

#include <QFont>
#include <QMetaObject>
#include <QTextOption>
#include <functional>
#include <memory>
#include <vector>

class QPlainTextEdit;
class QTextDocument;

namespace qarvel::ui {

// Lines as a text view shows them: each block (paragraph) of the document broken
// at the view's width, numbered from 0 over the whole document. Works on the
// document of a QPlainTextEdit or a QTextEdit; blocks not yet laid out are laid
// out on demand. Any input-method pre-edit text shown in a line is not part of it.

// The longest line the rules read, in bytes.
inline constexpr int kMaxLineBytes = 4096;

struct LinePosition {
    int line = 0;   // visual line number
    int column = 0; // GBK bytes from the start of that line
};

int VisualLineCount(const QTextDocument& document);

// GBK byte length of visual line `line`, without its line break; 0 for a line
// number outside the document; at most kMaxLineBytes.
int VisualLineByteLength(const QTextDocument& document, int line);

// The visual line holding document position `position` (a position where a
// wrapped line ends belongs to the line that starts there) and its byte column.
// A position outside the document is taken as the nearest end.
LinePosition VisualLineOf(const QTextDocument& document, int position);

// The same answers as the two functions above, from a remembered table of where
// each block's lines start: after the first walk a question costs a search, not
// a walk from the top. Blocks from the first changed one on are forgotten at each
// change of the text; everything when the lines' width, font, wrapping or tab
// stops change. The last block is always read afresh: typing and any pre-edit text
// happen there. `viewWidth` gives the width of the view whose lines these are.
// The document must outlive the index.
class VisualLineIndex {
public:
    explicit VisualLineIndex(const QTextDocument& document, std::function<int()> viewWidth = {});
    ~VisualLineIndex();
    VisualLineIndex(const VisualLineIndex&) = delete;
    VisualLineIndex& operator=(const VisualLineIndex&) = delete;

    [[nodiscard]] int byteLength(int line);
    [[nodiscard]] LinePosition lineOf(int position);

private:
    struct Shape {
        qreal width = 0;
        int viewWidth = 0;
        QFont font;
        QTextOption::WrapMode wrap = QTextOption::NoWrap;
        qreal tabStop = 0;
        bool operator==(const Shape&) const = default;
    };
    [[nodiscard]] Shape currentShape() const;
    void checkShape();
    // Extends the table to cover block `number` (first line of that block).
    void extendTo(int number);

    const QTextDocument& document_;
    std::function<int()> viewWidth_;
    QMetaObject::Connection changed_;
    Shape shape_;
    std::vector<int> starts_{0}; // starts_[i]: first visual line of block i
};

// The index of `edit`'s lines kept in `index`: made at first use, and made
// afresh once the edit shows another document than `indexed`.
VisualLineIndex& LinesOfEdit(const QPlainTextEdit& edit, std::shared_ptr<VisualLineIndex>& index,
                             const QTextDocument*& indexed);

} // namespace qarvel::ui
