#include "SourceView.h"

#include "LineLayout.h"
#include "TextViewAccessible.h"
#include "exam/Gbk.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QGlyphRun>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <iconv.h>
#include <utility>

namespace qarvel::ui {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Marks of one character: the colour in the low bits, the underline above.
constexpr std::uint8_t kColourBits = 0x3;
constexpr std::uint8_t kBlackMark = 0;
constexpr std::uint8_t kBlueMark = 1;
constexpr std::uint8_t kRedMark = 2;
constexpr std::uint8_t kUnderlineBit = 0x4;

QColor ColourOf(std::uint8_t mark) {
    switch (mark & kColourBits) {
    case kBlueMark:
        return {0, 0, 255};
    case kRedMark:
        return {255, 0, 0};
    default:
        return {0, 0, 0};
    }
}

// The characters of two-byte GBK groups, asked of iconv once per group met and
// kept, so loading a long text costs one table look-up per character.
class PairTable {
public:
    PairTable() : cd_(iconv_open("UTF-16LE", "GBK")), table_(kLeads * 256, kUnknown) {
        singles_.fill(kUnknown);
    }
    ~PairTable() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    PairTable(const PairTable&) = delete;
    PairTable& operator=(const PairTable&) = delete;

    // The one UTF-16 code unit of the group `lead`, `trail`, or U+FFFD when
    // it does not decode to exactly one character of the basic plane.
    char16_t decode(unsigned char lead, unsigned char trail) {
        char16_t& unit = table_[static_cast<std::size_t>(lead - kFirstLead) * 256 + trail];
        if (unit == kUnknown) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            unit = ask(in, 2);
        }
        return unit;
    }

    // The same for a byte of 128 or more standing alone.
    char16_t decode(unsigned char single) {
        char16_t& unit = singles_[single & 0x7F];
        if (unit == kUnknown) {
            const char in[1] = {static_cast<char>(single)};
            unit = ask(in, 1);
        }
        return unit;
    }

private:
    static constexpr int kFirstLead = 0x81;
    static constexpr int kLeads = 0xFE - kFirstLead + 1;
    static constexpr char16_t kUnknown = 0; // no group decodes to U+0000

    [[nodiscard]] bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    char16_t ask(const char* bytes, std::size_t size) {
        if (!valid()) {
            return kReplacement;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char out[8];
        char* src = const_cast<char*>(bytes);
        std::size_t srcLeft = size;
        char* dst = out;
        std::size_t dstLeft = sizeof out;
        const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        if (rc == static_cast<std::size_t>(-1) || srcLeft != 0 || dst - out != 2) {
            return kReplacement;
        }
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
        return unit == kUnknown || QChar::isSurrogate(unit) ? kReplacement : unit;
    }

    iconv_t cd_;
    std::vector<char16_t> table_;
    std::array<char16_t, 128> singles_{};
};

} // namespace

SourceView::SourceView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    InstallTextViewAccessibility();
}

void SourceView::setSourceText(std::string gbk, bool inIdleTime) {
    gbk_ = std::move(gbk);
    source_ = &gbk_;
    startLoading(inIdleTime);
}

void SourceView::setSourceTextFrom(const std::string& gbk) {
    std::string().swap(gbk_);
    source_ = &gbk;
    startLoading(true);
}

void SourceView::startLoading(bool inIdleTime) {
    underline_ = {};
    if (idle_ != nullptr) {
        idle_->stop();
    }
    bytes_ = source_->size();
    loaded_ = 0;
    characters_ = 0;
    stretches_.clear();
    stretches_.reserve((bytes_ + kStretch - 1) / kStretch);
    lastByte_ = 0;
    lastPosition_ = 0;
    marks_.clear();
    loading_ = true;
    setPlainText(QString());
    matchTextWidth();
    if (!inIdleTime) {
        finishLoading();
        return;
    }
    if (idle_ == nullptr) {
        idle_ = new QTimer(this);
        idle_->setInterval(0);
        connect(idle_, &QTimer::timeout, this, [this] {
            // A few milliseconds at a time: other events come in between.
            QElapsedTimer spent;
            spent.start();
            while (loading_ && spent.elapsed() < 8) {
                loadSlice(loaded_ + kSlice);
            }
            if (!loading_) {
                idle_->stop();
            }
        });
    }
    idle_->start();
}

void SourceView::matchTextWidth() {
    // Qt gives every block a layout of its own (a few hundred bytes each) when
    // the width its lines are broken at changes, so the width is settled while
    // the document is short. Setting the margins places the viewport for the
    // view's size and scroll bars now, also while the view is hidden (Qt would
    // show a scroll bar the text needs only once events are handled).
    setViewportMargins(viewportMargins());
    if (viewport()->width() != laidOutWidth_) {
        QResizeEvent changed(size(), QSize(-1, -1));
        resizeEvent(&changed);
    }
}

void SourceView::resizeEvent(QResizeEvent* event) {
    // The lines are broken afresh only when the viewport's width is not the
    // one they were broken at; otherwise only the scroll bars follow.
    const int width = viewport()->width();
    const bool sameWidth = width == laidOutWidth_;
    laidOutWidth_ = width;
    QResizeEvent seen(event->size(), sameWidth
                                         ? QSize(event->size().width(), event->oldSize().height())
                                         : QSize(-1, -1));
    QPlainTextEdit::resizeEvent(&seen);
}

void SourceView::finishLoading() const {
    // Slice by slice still: the lines are broken at the width a scroll bar
    // leaves while the document is short.
    while (loading_) {
        const_cast<SourceView*>(this)->loadSlice(loaded_ + kSlice);
    }
}

void SourceView::loadSlice(std::size_t until) {
    // The characters of the slice, and where the stretches' first characters are.
    until = std::min(until, bytes_);
    std::u16string text;
    text.reserve(until - std::min(until, loaded_));
    static PairTable pairs;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_->data());
    std::size_t i = loaded_;
    while (i < until) {
        if (i >= stretches_.size() * kStretch) {
            // The first character of a stretch: at its first byte or its second.
            const auto position = static_cast<std::int32_t>(characters_ + std::ssize(text));
            stretches_.push_back(position * 2 + static_cast<std::int32_t>(i % kStretch));
        }
        const unsigned char b = bytes[i];
        if (b < 0x80 && b != '\r' && b != '\n') {
            text.push_back(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        const std::size_t size = groupSize(i);
        if (b == '\r' || b == '\n') {
            text.push_back(u'\n');
        } else {
            text.push_back(size == 2 ? pairs.decode(b, bytes[i + 1]) : pairs.decode(b));
        }
        i += size;
    }
    loaded_ = i;
    characters_ += static_cast<int>(text.size());
    if (!text.empty()) {
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    }
    matchTextWidth(); // a scroll bar may have come with the last slice
    if (loaded_ < bytes_) {
        return;
    }
    loading_ = false;
    if (stretches_.size() * kStretch < bytes_) {
        // The last stretch begins at the second byte of the last character.
        stretches_.push_back(characters_ * 2 + 1);
    }
    // The cursor, which the text pushed to its end, back at the start. Keeping
    // it in sight lays the text out: a hidden view does that when it is shown.
    if (isVisible()) {
        moveCursor(QTextCursor::Start);
    } else {
        cursorToStart_ = true;
    }
}

void SourceView::showEvent(QShowEvent* event) {
    finishLoading();
    if (std::exchange(cursorToStart_, false)) {
        moveCursor(QTextCursor::Start);
    }
    QPlainTextEdit::showEvent(event);
}

std::size_t SourceView::groupSize(std::size_t offset) const {
    // A lead byte and the byte after it, or CR LF, are one character.
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_->data());
    const unsigned char b = bytes[offset];
    const bool pair =
        offset + 1 < bytes_ && (exam::IsLeadByte(b) || (b == '\r' && bytes[offset + 1] == '\n'));
    return pair ? 2 : 1;
}

int SourceView::positionAt(int offset) const {
    finishLoading();
    if (offset < 0 || static_cast<std::size_t>(offset) >= bytes_) {
        return -1;
    }
    const auto at = static_cast<std::size_t>(offset);
    // Read on from the stretch's first character, or from the character found
    // last when that is nearer (marks go forward a character at a time).
    const std::int32_t first = stretches_[at / kStretch];
    std::size_t byte = at / kStretch * kStretch + static_cast<std::size_t>(first & 1);
    int position = first >> 1;
    if (lastByte_ <= at && lastByte_ > byte) {
        byte = lastByte_;
        position = lastPosition_;
    }
    while (byte < at) {
        const std::size_t size = groupSize(byte);
        if (byte + size > at) {
            break; // `at` is its second byte
        }
        byte += size;
        ++position;
    }
    lastByte_ = byte;
    lastPosition_ = position;
    // The second byte of a group addresses the character after it (when the
    // stretch begins at such a byte, `byte` is past it with that character).
    if (byte < at) {
        ++position;
    }
    return position < characters_ ? position : -1;
}

void SourceView::markSource(int offset, exam::Mark mark) {
    const int position = positionAt(offset);
    if (position < 0) {
        return;
    }
    // The marks grow as far as a character is marked.
    if (static_cast<std::size_t>(position) >= marks_.size()) {
        if (mark == exam::Mark::Black || mark == exam::Mark::UnderlineOff) {
            return; // plain already
        }
        marks_.resize(static_cast<std::size_t>(position) + 1, kBlackMark);
    }
    std::uint8_t& look = marks_[static_cast<std::size_t>(position)];
    const std::uint8_t before = look;
    switch (mark) {
    case exam::Mark::Blue:
        look = static_cast<std::uint8_t>((look & ~kColourBits) | kBlueMark);
        break;
    case exam::Mark::Red:
        look = static_cast<std::uint8_t>((look & ~kColourBits) | kRedMark);
        break;
    case exam::Mark::Black:
        look = static_cast<std::uint8_t>((look & ~kColourBits) | kBlackMark);
        break;
    case exam::Mark::UnderlineOn:
        look = static_cast<std::uint8_t>(look | kUnderlineBit);
        break;
    case exam::Mark::UnderlineOff:
        look = static_cast<std::uint8_t>(look & ~kUnderlineBit);
        break;
    }
    if (look != before) {
        repaintCharacter(position);
    }
}

void SourceView::repaintCharacter(int position) {
    const QTextBlock block = document()->findBlock(position);
    const QTextLayout* layout = block.layout();
    if (!block.isValid() || layout == nullptr || layout->lineCount() == 0) {
        return; // not laid out, so not on screen: it is painted when it comes
    }
    const QRectF area = blockBoundingGeometry(block).translated(contentOffset());
    if (!area.intersects(viewport()->rect())) {
        return;
    }
    const int inBlock = position - block.position();
    const QTextLine line = layout->lineForTextPosition(inBlock);
    if (!line.isValid()) {
        return;
    }
    const qreal left = line.cursorToX(inBlock);
    // A line break shows as the return sign after the line's text.
    const qreal right = inBlock + 1 >= block.length() ? line.naturalTextWidth() + line.height()
                                                      : line.cursorToX(inBlock + 1);
    QRectF rect(std::min(left, right), line.y(), std::abs(right - left), line.height());
    rect.translate(area.topLeft() + layout->position());
    // Sideways a little more, for glyphs that reach over their box; a line's
    // ink, underline and return sign included, stays within its height.
    viewport()->update(rect.toAlignedRect().adjusted(-2, 0, 2, 0));
}

void SourceView::appendMarks(QList<QTextLayout::FormatRange>& ranges, int from, int to,
                             int base) const {
    to = std::min(to, static_cast<int>(marks_.size()));
    int p = std::max(from, 0);
    while (p < to) {
        const std::uint8_t look = marks_[static_cast<std::size_t>(p)];
        int end = p + 1;
        while (end < to && marks_[static_cast<std::size_t>(end)] == look) {
            ++end;
        }
        if (look != kBlackMark) {
            QTextLayout::FormatRange range;
            range.start = p - base;
            range.length = end - p;
            range.format.setForeground(ColourOf(look));
            if ((look & kUnderlineBit) != 0) {
                range.format.setFontUnderline(true);
            }
            ranges.append(range);
        }
        p = end;
    }
}

void SourceView::drawLineBreakSign(QPainter& painter, const QTextBlock& block,
                                   QPointF offset) const {
    const int position = block.position() + block.length() - 1;
    if (position < 0 || static_cast<std::size_t>(position) >= marks_.size() ||
        (marks_[static_cast<std::size_t>(position)] & kUnderlineBit) == 0) {
        return;
    }
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineAt(layout->lineCount() - 1);
    const qreal h = line.height();
    const QPointF at = offset + layout->position() + QPointF(line.naturalTextWidth(), line.y());
    // A return sign: down from the top right, then left, with an arrowhead.
    const qreal left = at.x() + h * 0.2;
    const qreal right = at.x() + h * 0.75;
    const qreal top = at.y() + h * 0.25;
    const qreal base = at.y() + h * 0.65;
    const qreal head = h * 0.15;
    QPainterPath sign;
    sign.moveTo(right, top);
    sign.lineTo(right, base);
    sign.lineTo(left, base);
    sign.moveTo(left + head, base - head);
    sign.lineTo(left, base);
    sign.lineTo(left + head, base + head);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(ColourOf(marks_[static_cast<std::size_t>(position)]));
    pen.setWidthF(std::max(1.0, h / 14));
    painter.setPen(pen);
    painter.drawPath(sign);
    painter.restore();
}

namespace {

// Draws an underline `thickness` thick at `y` over the pixel columns of `box`,
// in the painter's pen's colour.
void DrawUnderline(QPainter& painter, qreal y, qreal thickness, const QRect& box) {
    QPen pen(painter.pen().color());
    pen.setWidthF(thickness);
    pen.setCapStyle(Qt::FlatCap);
    painter.save();
    painter.setPen(pen);
    painter.drawLine(QLineF(box.left(), y, box.right() + 1, y));
    painter.restore();
}

} // namespace

const SourceView::Underline& SourceView::underlineOf(const QTextLayout& layout, int number) const {
    // As text drawing underlines a line: at the lowest of its faces' underline
    // positions, with the thickest of their lines; never below the line. Kept
    // for the line last asked about, the underlined character's.
    const QTextLine line = layout.lineAt(number);
    Underline& known = underline_;
    if (known.layout == &layout && known.start == line.textStart() &&
        known.length == line.textLength() && known.height == line.height() &&
        known.font == layout.font()) {
        return known;
    }
    known = {&layout, line.textStart(), line.textLength(), line.height(), layout.font(), 0, 0};
    bool any = false;
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const qreal offset = font.underlinePosition();
        qreal adjusted = std::ceil(offset) + 0.5;
        if (offset <= font.descent()) {
            adjusted = std::min(adjusted, font.descent() - 0.5);
        }
        known.y = any ? std::max(known.y, line.ascent() + adjusted) : line.ascent() + adjusted;
        known.thickness =
            any ? std::max(known.thickness, font.lineThickness()) : font.lineThickness();
        any = true;
    }
    known.y = std::min(known.y, line.height() - known.thickness / 2);
    return known;
}

void SourceView::drawMarkedBlock(QPainter& painter, const QTextBlock& block, QPointF offset,
                                 const QRect& exposed) const {
    // The lines in `exposed`, each glyph once, in the look of its character:
    // only the glyphs near `exposed`, a run of equal marks at a time. A glyph's
    // ink is taken to stay within its line, and within a quarter of a line's
    // height of its box sideways. An underline takes the pixel columns whose
    // centres its character's box holds.
    const QTextLayout* layout = block.layout();
    const QPointF position = offset + layout->position();
    const int first = block.position();
    const QColor pen = painter.pen().color();
    const int marked = static_cast<int>(marks_.size()) - first; // later ones are black
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal top = position.y() + line.y();
        if (top >= exposed.y() + exposed.height()) {
            break;
        }
        if (top + line.height() <= exposed.y()) {
            continue;
        }
        const qreal along = line.height() / 4;
        const int start = line.textStart();
        const int end = start + line.textLength();
        const int from = std::max(start, line.xToCursor(exposed.left() - position.x() - along) - 1);
        const int to =
            std::min(end, line.xToCursor(exposed.right() + 1 - position.x() + along) + 1);
        int p = from;
        while (p < to) {
            const std::uint8_t look =
                p < marked ? marks_[static_cast<std::size_t>(first + p)] : kBlackMark;
            int runEnd = p + 1;
            while (runEnd < to &&
                   (runEnd < marked ? marks_[static_cast<std::size_t>(first + runEnd)]
                                    : kBlackMark) == look) {
                ++runEnd;
            }
            painter.setPen(look == kBlackMark ? pen : ColourOf(look));
            for (const QGlyphRun& run : line.glyphRuns(p, runEnd - p)) {
                painter.drawGlyphRun(position, run);
            }
            if ((look & kUnderlineBit) != 0) {
                const qreal left = position.x() + line.cursorToX(p);
                const qreal right = position.x() + line.cursorToX(runEnd);
                const QRectF text = line.naturalTextRect().translated(position);
                const int x0 = qRound(std::max(left, text.left()));
                const int x1 = qRound(std::min(right, text.right()));
                if (x1 > x0) {
                    const Underline& under = underlineOf(*layout, i);
                    DrawUnderline(painter, top + under.y, under.thickness,
                                  QRect(QPoint(x0, qRound(top)),
                                        QPoint(x1 - 1, qRound(top + line.height()) - 1)));
                }
            }
            p = runEnd;
        }
    }
    painter.setPen(pen);
}

void SourceView::paintEvent(QPaintEvent* event) {
    // As the plain text view paints itself, with the marks of the lines painted
    // drawn as format ranges over the text laid out once.
    QPainter painter(viewport());
    QPointF offset = contentOffset();
    const QRect exposed = event->rect();
    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    painter.setBrushOrigin(offset);
    painter.setClipRect(exposed);
    painter.setPen(QColor(0, 0, 0));
    const bool showCursor = (textInteractionFlags() & Qt::TextSelectableByKeyboard) != 0;

    std::vector<int> onScreen;
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF area = blockBoundingRect(block).translated(offset);
        if (!block.isVisible()) {
            offset.ry() += area.height();
            continue;
        }
        onScreen.push_back(block.blockNumber());
        if (area.bottom() >= exposed.top() && area.top() <= exposed.bottom()) {
            QTextLayout* layout = block.layout();
            // Shaped once while on screen: marks repaint it and find their boxes in it.
            layout->setCacheEnabled(true);
            const int first = block.position();
            const int length = block.length();
            if (context.selections.isEmpty()) {
                drawMarkedBlock(painter, block, offset, exposed);
            } else {
                QList<QTextLayout::FormatRange> ranges;
                // The marks of the lines that are painted.
                for (int i = 0; i < layout->lineCount(); ++i) {
                    const QTextLine line = layout->lineAt(i);
                    const qreal top = offset.y() + layout->position().y() + line.y();
                    if (top + line.height() < exposed.top() || top > exposed.bottom()) {
                        continue;
                    }
                    appendMarks(ranges, first + line.textStart(),
                                first + line.textStart() + line.textLength(), first);
                }
                // The reader's selection over them.
                for (const QAbstractTextDocumentLayout::Selection& selection : context.selections) {
                    const int from = selection.cursor.selectionStart() - first;
                    const int to = selection.cursor.selectionEnd() - first;
                    if (from < length && to > 0 && to > from) {
                        QTextLayout::FormatRange range;
                        range.start = from;
                        range.length = to - from;
                        range.format = selection.format;
                        ranges.append(range);
                    }
                }
                layout->draw(&painter, offset, ranges, exposed);
            }
            drawLineBreakSign(painter, block, offset);
            if (showCursor && context.cursorPosition >= first &&
                context.cursorPosition < first + length) {
                layout->drawCursor(&painter, offset, context.cursorPosition - first, cursorWidth());
            }
        }
        offset.ry() += area.height();
        if (offset.y() > viewport()->rect().height()) {
            break;
        }
    }
    keepShapedOnly(std::move(onScreen));
}

void SourceView::keepShapedOnly(std::vector<int> onScreen) {
    // Blocks that left the screen let their shaped glyphs go: laid out again
    // (same lines) once the painting is over, which frees them.
    for (const int number : shaped_) {
        if (std::find(onScreen.begin(), onScreen.end(), number) == onScreen.end()) {
            const QTextBlock block = document()->findBlockByNumber(number);
            if (block.isValid() && block.layout() != nullptr) {
                block.layout()->setCacheEnabled(false);
                unshaped_.push_back(number);
            }
        }
    }
    shaped_ = std::move(onScreen);
    if (unshaped_.empty() || releasing_) {
        return;
    }
    releasing_ = true;
    QTimer::singleShot(0, this, [this] {
        releasing_ = false;
        for (const int number : std::exchange(unshaped_, {})) {
            const QTextBlock block = document()->findBlockByNumber(number);
            if (block.isValid() && block.layout() != nullptr && !block.layout()->cacheEnabled()) {
                document()->markContentsDirty(block.position(), block.length());
            }
        }
    });
}

void SourceView::keepInSight(int offset) {
    finishLoading();
    const int position = positionAt(offset);
    if (position < 0) {
        return;
    }
    QTextCursor cursor(document());
    cursor.setPosition(position);
    const QRect at = cursorRect(cursor);
    const int height = viewport()->height();
    // Keep the line after the character in sight too, so the examinee reads ahead.
    if (at.top() >= 0 && at.bottom() + at.height() <= height) {
        return;
    }
    const QTextBlock block = cursor.block();
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(position - block.position());
    const int target = block.firstLineNumber() + (line.isValid() ? line.lineNumber() : 0);
    const int lineHeight =
        std::max(1, line.isValid() ? static_cast<int>(line.height()) : at.height());
    const int shown = std::max(1, height / lineHeight);
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(at.top() < 0 ? target : std::max(target + 2 - shown, 0));
}

int SourceView::lineByteLength(int line) const {
    finishLoading();
    return lines().byteLength(line);
}

VisualLineIndex& SourceView::lines() const {
    return LinesOfEdit(*this, lines_, linesOf_);
}

QString SourceView::shownText() const {
    finishLoading();
    return document()->toPlainText();
}

SourceView::Look SourceView::lookAt(int position) const {
    finishLoading();
    if (position < 0 || static_cast<std::size_t>(position) >= marks_.size()) {
        return {QColor(0, 0, 0), false};
    }
    const std::uint8_t look = marks_[static_cast<std::size_t>(position)];
    return {ColourOf(look), (look & kUnderlineBit) != 0};
}

void SourceView::mousePressEvent(QMouseEvent* event) {
    // A press on selected text would start a drag of it: the selection goes first.
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        cursor.clearSelection();
        setTextCursor(cursor);
    }
    QPlainTextEdit::mousePressEvent(event);
    if (pressHandler_) {
        pressHandler_();
    }
}

void SourceView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->accept(); // the clipboard keeps what it holds
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.front().isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept(); // typed text goes nowhere
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void SourceView::inputMethodEvent(QInputMethodEvent* event) {
    event->accept(); // no commit, no pre-edit: the source stays as loaded
}

QVariant SourceView::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) {
        return false; // input methods leave the view alone
    }
    return QPlainTextEdit::inputMethodQuery(query);
}

void SourceView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept(); // no menu, so no Copy entry
}

QMimeData* SourceView::createMimeDataFromSelection() const {
    return new QMimeData; // the source's text never leaves the view
}

} // namespace qarvel::ui
