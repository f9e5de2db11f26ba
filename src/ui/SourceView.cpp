#include "SourceView.h"

#include "LineLayout.h"
#include "exam/Gbk.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextCursor>
#include <cerrno>
#include <iconv.h>

namespace qarvel::ui {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// One GBK decoder for a whole text; each character group is converted by itself.
class GroupDecoder {
public:
    GroupDecoder() : cd_(iconv_open("UTF-16LE", "GBK")) {}
    ~GroupDecoder() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    GroupDecoder(const GroupDecoder&) = delete;
    GroupDecoder& operator=(const GroupDecoder&) = delete;

    // The one UTF-16 code unit of `size` GBK bytes, or U+FFFD when they do not
    // decode to exactly one character of the basic plane.
    char16_t decode(const char* bytes, std::size_t size) {
        if (!valid()) {
            return kReplacement;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char out[8];
        char* in = const_cast<char*>(bytes);
        std::size_t inLeft = size;
        char* dst = out;
        std::size_t outLeft = sizeof out;
        const std::size_t rc = iconv(cd_, &in, &inLeft, &dst, &outLeft);
        if (rc == static_cast<std::size_t>(-1) || inLeft != 0 || dst - out != 2) {
            return kReplacement;
        }
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
        return QChar::isSurrogate(unit) ? kReplacement : unit;
    }

private:
    [[nodiscard]] bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_;
};

} // namespace

SourceView::SourceView(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void SourceView::setSourceText(const std::string& gbk) {
    gbk_ = gbk;
    const auto n = static_cast<int>(gbk_.size());
    positionOfByte_.assign(gbk_.size(), -1);

    QString text;
    text.reserve(n);
    GroupDecoder decoder;
    int i = 0;
    while (i < n) {
        const unsigned char b = exam::ByteAt(gbk_, i);
        const int position = static_cast<int>(text.size());
        const bool pair =
            i + 1 < n &&
            (exam::IsLeadByte(b) || (b == '\r' && gbk_[static_cast<std::size_t>(i) + 1] == '\n'));
        const int size = pair ? 2 : 1;
        if (b == '\r' || b == '\n') {
            text.append(QChar('\n'));
        } else if (b < 0x80) {
            text.append(QChar(b));
        } else {
            text.append(QChar(decoder.decode(gbk_.data() + i, static_cast<std::size_t>(size))));
        }
        positionOfByte_[static_cast<std::size_t>(i)] = position;
        if (pair) {
            // The second byte addresses the character after this one.
            positionOfByte_[static_cast<std::size_t>(i) + 1] = position + 1;
        }
        i += size;
    }
    const auto characters = static_cast<int>(text.size());
    for (int& position : positionOfByte_) {
        if (position >= characters) {
            position = -1;
        }
    }

    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    plain.setFontUnderline(false);
    setCurrentCharFormat(plain);
    setPlainText(text);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(plain);
    moveCursor(QTextCursor::Start);
}

int SourceView::positionAt(int offset) const {
    if (offset < 0 || offset >= static_cast<int>(positionOfByte_.size())) {
        return -1;
    }
    return positionOfByte_[static_cast<std::size_t>(offset)];
}

void SourceView::markSource(int offset, exam::Mark mark) {
    const int position = positionAt(offset);
    if (position < 0) {
        return;
    }
    QTextCharFormat change;
    switch (mark) {
    case exam::Mark::Blue:
        change.setForeground(QColor(0, 0, 255));
        break;
    case exam::Mark::Red:
        change.setForeground(QColor(255, 0, 0));
        break;
    case exam::Mark::Black:
        change.setForeground(QColor(0, 0, 0));
        break;
    case exam::Mark::UnderlineOn:
        change.setFontUnderline(true);
        break;
    case exam::Mark::UnderlineOff:
        change.setFontUnderline(false);
        break;
    }
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(change);
}

void SourceView::keepInSight(int offset) {
    const int position = positionAt(offset);
    if (position < 0) {
        return;
    }
    QTextCursor cursor(document());
    cursor.setPosition(position);
    const QRect at = cursorRect(cursor);
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    // Keep the line after the character in sight too, so the examinee reads ahead.
    const int below = at.bottom() + at.height();
    const int margin = static_cast<int>(document()->documentMargin());
    if (at.top() < margin) {
        bar->setValue(bar->value() + at.top() - margin);
    } else if (below > height) {
        bar->setValue(bar->value() + below - height);
    }
}

int SourceView::lineByteLength(int line) const {
    return VisualLineByteLength(*document(), line);
}

void SourceView::mousePressEvent(QMouseEvent* event) {
    // A press on selected text would start a drag of it: the selection goes first.
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        cursor.clearSelection();
        setTextCursor(cursor);
    }
    QTextEdit::mousePressEvent(event);
    if (pressHandler_) {
        pressHandler_();
    }
}

void SourceView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->accept(); // the clipboard keeps what it holds
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void SourceView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept(); // no menu, so no Copy entry
}

QMimeData* SourceView::createMimeDataFromSelection() const {
    return new QMimeData; // the source's text never leaves the view
}

} // namespace qarvel::ui
