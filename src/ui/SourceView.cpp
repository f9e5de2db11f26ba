#include "SourceView.h"

#include "platform/GbkText.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace qarvel::ui {

// Runs a task once after the current event, however often it is asked before then.
class SourceView::LaterTask : public QObject {
public:
    LaterTask(QObject* parent, std::function<void()> task)
        : QObject(parent), task_(std::move(task)) {}
    void request() {
        if (pending_) {
            return;
        }
        pending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                pending_ = false;
                task_();
            },
            Qt::QueuedConnection);
    }

private:
    std::function<void()> task_;
    bool pending_ = false;
};

SourceView::LayoutUse::LayoutUse(const SourceView& view, Kind kind) : view_(view) {
    if (kind == Fresh) {
        view_.layouts_.beginUse();
    }
}

SourceView::LayoutUse::~LayoutUse() {
    if (view_.layouts_.takeLineCountChange()) {
        view_.scrollBarsLater_->request();
    }
}

SourceView::SourceView(QWidget* parent) : QAbstractScrollArea(parent) {
    scrollBarsLater_ = new LaterTask(this, [this] { adjustScrollBars(); });
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
    startLoading(false);
}

SourceView::~SourceView() = default;

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
    if (idle_ != nullptr) {
        idle_->stop();
    }
    index_.reset(*source_);
    marks_.clear();
    caret_ = anchor_ = 0;
    top_ = {};
    fracture_ = 0;
    dropLayouts();
    if (!inIdleTime) {
        load();
        return;
    }
    if (idle_ == nullptr) {
        idle_ = new QTimer(this);
        idle_->setInterval(0);
        connect(idle_, &QTimer::timeout, this, [this] {
            if (index_.complete()) {
                idle_->stop(); // completed by a query
                return;
            }
            // A few milliseconds at a time: other events come in between.
            QElapsedTimer spent;
            spent.start();
            while (!index_.complete() && spent.elapsed() < 8) {
                index_.indexSlice();
            }
            if (index_.complete()) {
                idle_->stop();
                loaded();
            }
        });
    }
    idle_->start();
}

void SourceView::load() {
    if (!index_.complete()) {
        index_.indexAll();
        loaded();
    }
}

void SourceView::loaded() {
    dropLayouts();
    adjustScrollBars();
    viewport()->update();
}

void SourceView::finishLoading() const {
    // As loaded(), but a query places the scroll bar after the current event.
    if (!index_.complete()) {
        index_.indexAll();
        layouts_.reset(index_, shape());
        viewport()->update();
        scrollBarsLater_->request();
    }
}

std::size_t SourceView::indexBytes() const {
    finishLoading();
    return index_.bytesUsed() + layouts_.bytesUsed();
}

int SourceView::positionAt(int offset) const {
    finishLoading();
    return index_.positionAt(offset);
}

QString SourceView::decode(int from, int to) const {
    return platform::ShownCharacters(index_, from, to);
}

QString SourceView::shownText() const {
    finishLoading();
    return decode(0, index_.characterCount());
}

QString SourceView::shownText(int from, int to) const {
    finishLoading();
    return decode(from, to);
}

int SourceView::characterCount() const {
    finishLoading();
    return index_.characterCount();
}

QChar SourceView::characterAt(int position) const {
    finishLoading();
    if (position < 0 || position >= index_.characterCount()) {
        return {};
    }
    return decode(position, position + 1).front();
}

int SourceView::paragraphCount() const {
    finishLoading();
    return index_.paragraphCount();
}

// Layout --------------------------------------------------------------------

ParagraphLayouts::Shape SourceView::shape() const {
    // As a plain text edit breaks its lines: at the viewport's width less the
    // margins on both sides.
    const int width = viewport()->width();
    return {font(), (width > 0 ? qreal(width) : qreal(INT_MAX)) - 2 * margin_, margin_, width};
}

void SourceView::setDocumentMargin(qreal margin) {
    if (margin != margin_) {
        margin_ = margin;
        dropLayouts();
        adjustScrollBars();
        viewport()->update();
    }
}

void SourceView::dropLayouts() {
    layouts_.reset(index_, shape());
}

qreal SourceView::documentOffset(Line top) const {
    // As a plain text edit measures its scrolling: from its top line's
    // paragraph (or stretch of one) to where the line above that line ends,
    // less the margin at the very top.
    if (top.paragraph == 0 && top.line == 0) {
        return -margin_;
    }
    if (top.line == 0) {
        return 0;
    }
    const Piece* p = nullptr;
    (void)layouts_.textLine(top, &p);
    const int index = top.line - p->firstLine;
    return index <= 0 ? 0 : p->layout->lineAt(index - 1).naturalTextRect().bottom();
}

qreal SourceView::topOffset() const {
    return layouts_.textLine(top_).y() - documentOffset(top_) - fracture_;
}

int SourceView::screenLines() const {
    return viewport()->height() / std::max(1, QFontMetrics(font()).lineSpacing()) + 1;
}

bool SourceView::lineTop(Line line, qreal& y, int reach) const {
    y = topOffset();
    Line at = top_;
    const auto before = [](Line a, Line b) {
        return a.paragraph < b.paragraph || (a.paragraph == b.paragraph && a.line < b.line);
    };
    if (before(line, at)) {
        for (int n = 0; n < reach && before(line, at); ++n) {
            at = layouts_.previous(at);
            y -= ParagraphLayouts::advance(layouts_.textLine(at));
        }
        return at == line;
    }
    for (int n = 0; n < reach && before(at, line); ++n) {
        const Line after = layouts_.next(at);
        if (!before(at, after)) {
            return false;
        }
        y += ParagraphLayouts::advance(layouts_.textLine(at));
        at = after;
    }
    return at == line;
}

// Scrolling -----------------------------------------------------------------

void SourceView::adjustScrollBars() {
    // A hidden view lays nothing out: it is counted when it is shown.
    if (!index_.complete() || adjusting_ || !isVisible()) {
        return;
    }
    const LayoutUse use(*this);
    const int bottomLines = layouts_.lastScreenLines(viewport()->rect().height() - margin_ - 1);
    const int maximum = std::max(0, layouts_.totalLines() - bottomLines);
    QScrollBar* bar = verticalScrollBar();
    adjusting_ = true;
    bar->setRange(0, maximum);
    bar->setPageStep(bottomLines);
    bar->setValue(layouts_.numberOf(top_));
    adjusting_ = false;
    if (bar->value() != layouts_.numberOf(top_)) {
        moveTop(layouts_.lineAtNumber(bar->value()));
    }
    // The scroll bar comes or goes now, not after the next paint: setting the
    // margins places the viewport at once (the lines are then broken afresh).
    if (bar->isVisibleTo(this) != (maximum > 0) && !placing_) {
        placing_ = true;
        setViewportMargins(viewportMargins());
        placing_ = false;
    }
}

void SourceView::setTop(Line line) {
    adjusting_ = true;
    verticalScrollBar()->setValue(layouts_.numberOf(line));
    adjusting_ = false;
    if (verticalScrollBar()->value() != layouts_.numberOf(line)) {
        line = layouts_.lineAtNumber(verticalScrollBar()->value());
    }
    moveTop(line);
}

void SourceView::moveTop(Line line) {
    // As a plain text edit scrolls: the pixels shown move by whole pixels, and
    // the fraction of a pixel left over stays with what is painted next.
    if (line == top_) {
        return;
    }
    if (!isVisible() || !viewport()->updatesEnabled()) {
        top_ = line;
        fracture_ = 0;
        return;
    }
    qreal y = 0;
    qreal moved = 0;
    const Line old = top_;
    if (lineTop(line, y, 2 * screenLines())) {
        moved = layouts_.textLine(line).y() - documentOffset(line) - y;
    } else {
        // Far away: lines advance by whole pixels, so only the fractions of
        // the offsets and the direction decide the fraction left.
        const qreal fraction = documentOffset(old) + fracture_ - documentOffset(line);
        const bool down = line.paragraph > old.paragraph ||
                          (line.paragraph == old.paragraph && line.line > old.line);
        moved = down ? fraction - std::ceil(fraction) - 1e6 : fraction - std::floor(fraction) + 1e6;
    }
    top_ = line;
    const int dy = static_cast<int>(moved);
    fracture_ = moved - dy;
    if (dy != 0 && std::abs(dy) < viewport()->height()) {
        viewport()->scroll(0, dy);
    } else {
        if (dy == 0) {
            fracture_ = 0;
        }
        viewport()->update();
    }
}

void SourceView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (adjusting_) {
        return;
    }
    const LayoutUse use(*this);
    moveTop(layouts_.lineAtNumber(verticalScrollBar()->value()));
}

void SourceView::keepInSight(int offset) {
    load();
    const LayoutUse use(*this);
    const int position = index_.positionAt(offset);
    if (position < 0) {
        return;
    }
    const Line target = layouts_.lineOfPosition(position);
    const int height = viewport()->height();
    const QTextLine line = layouts_.textLine(target);
    const int lineHeight = std::max(1, static_cast<int>(line.height()));
    // Keep the line after the character in sight too, so the examinee reads ahead.
    qreal y = 0;
    const bool near = lineTop(target, y, screenLines() + 2);
    const int top = static_cast<int>(y);
    if (near && top >= 0 && top + 2 * lineHeight - 1 <= height) {
        return;
    }
    const bool above = near ? top < 0 : layouts_.numberOf(target) < layouts_.numberOf(top_);
    const int shown = std::max(1, height / lineHeight);
    setTop(above ? target : layouts_.step(target, std::min(0, 2 - shown)));
}

void SourceView::ensureCursorVisible() {
    const LayoutUse use(*this);
    const Line line = layouts_.lineOfPosition(caret_);
    qreal y = 0;
    const int height = viewport()->height();
    const qreal lineHeight = layouts_.textLine(line).height();
    const bool near = lineTop(line, y, screenLines() + 2);
    if (near && y >= 0 && y + lineHeight <= height) {
        return;
    }
    const bool above = near ? y < 0 : layouts_.numberOf(line) < layouts_.numberOf(top_);
    const int shown = std::max(1, static_cast<int>(height / std::max<qreal>(1, lineHeight)));
    setTop(above ? line : layouts_.step(line, 1 - shown));
}

int SourceView::lineByteLength(int line) const {
    finishLoading();
    if (line < 0) {
        return 0;
    }
    const LayoutUse use(*this);
    return layouts_.lineByteLength(line);
}

// Marks ---------------------------------------------------------------------

void SourceView::markSource(int offset, exam::Mark mark) {
    const int position = positionAt(offset);
    if (position >= 0 && marks_.apply(position, mark)) {
        repaintCharacter(position);
    }
}

void SourceView::repaintCharacter(int position) {
    // Only a character on screen is painted again; one off screen is painted
    // when it comes.
    const LayoutUse use(*this);
    const int paragraph = index_.paragraphOf(position);
    const Line line = layouts_.lineOfPosition(position);
    qreal y = 0;
    if (!lineTop(line, y, screenLines() + 1) || y > viewport()->height()) {
        return;
    }
    const Piece* p = nullptr;
    const QTextLine text = layouts_.textLine(line, &p);
    if (y + text.height() < 0) {
        return;
    }
    const int inParagraph = position - index_.paragraphStart(paragraph);
    const int inPiece = inParagraph - p->from;
    const bool lineBreak = inParagraph >= index_.paragraphLength(paragraph);
    const qreal left = text.cursorToX(inPiece);
    // A line break shows as the return sign after the line's text.
    const qreal right =
        lineBreak ? text.naturalTextWidth() + text.height() : text.cursorToX(inPiece + 1);
    const QRectF rect(std::min(left, right), y, std::abs(right - left), text.height());
    // Sideways a little more, for glyphs that reach over their box; a line's
    // ink, underline and return sign included, stays within its height.
    viewport()->update(rect.toAlignedRect().adjusted(-2, 0, 2, 0));
}

SourceView::Look SourceView::lookAt(int position) const {
    finishLoading();
    const exam::SourceMarks::Look look = marks_.at(position);
    return {SourcePainter::colourOf(look), exam::SourceMarks::underlined(look)};
}

// Painting ------------------------------------------------------------------

bool SourceView::caretShown() const {
    return caretOn_ && hasFocus();
}

void SourceView::paintEvent(QPaintEvent* event) {
    // Line by line from the top line down to the viewport's end, each stretch
    // of a paragraph laid out once while it is on screen.
    load();
    const LayoutUse use(*this);
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.setClipRect(exposed);
    painter.setPen(QColor(0, 0, 0));
    const int height = viewport()->height();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const SourcePainter::Scene scene{exposed,
                                     std::min(caret_, anchor_),
                                     std::max(caret_, anchor_),
                                     palette().brush(group, QPalette::Highlight),
                                     palette().brush(group, QPalette::HighlightedText),
                                     caretShown() ? caret_ : -1};

    std::vector<const Piece*> onScreen;
    qreal y = topOffset();
    Line at = top_;
    const int count = index_.paragraphCount();
    while (at.paragraph < count && y <= height) {
        const Piece& p = layouts_.pieceOfLine(at.paragraph, at.line);
        onScreen.push_back(&p);
        const int first = std::clamp(at.line - p.firstLine, 0, p.lines - 1);
        const QPointF origin(0, y - p.layout->lineAt(first).y());
        qreal bottom = y;
        for (int i = first; i < p.lines && bottom <= height; ++i) {
            bottom += ParagraphLayouts::advance(p.layout->lineAt(i));
        }
        if (bottom >= exposed.top() && y <= exposed.bottom() + 1) {
            painter_.drawPiece(painter, p, first, origin, index_, marks_, scene);
        }
        y = bottom;
        const bool lastPiece = p.to == index_.paragraphLength(p.paragraph);
        at = lastPiece ? Line{p.paragraph + 1, 0} : Line{p.paragraph, p.firstLine + p.lines};
    }
    layouts_.keepOnly(onScreen);
}

void SourceView::repaintCaret() {
    const QRect rect = cursorRect(caret_);
    viewport()->update(rect.adjusted(-2, 0, 2, 0));
}

// Reading: caret and selection ------------------------------------------------

QRect SourceView::cursorRect(int position) const {
    finishLoading();
    const LayoutUse use(*this);
    position = std::clamp(position, 0, index_.characterCount());
    const Line line = layouts_.lineOfPosition(position);
    const Piece* p = nullptr;
    const QTextLine text = layouts_.textLine(line, &p);
    qreal y = 0;
    if (!lineTop(line, y, 4 * screenLines())) {
        y = (layouts_.numberOf(line) - layouts_.numberOf(top_)) * text.height();
    }
    const int inPiece = position - index_.paragraphStart(line.paragraph) - p->from;
    return QRectF(text.cursorToX(inPiece), y, 1, text.height()).toRect();
}

int SourceView::positionInLine(Line line, qreal x) const {
    const Piece* p = nullptr;
    const QTextLine text = layouts_.textLine(line, &p);
    const int start = index_.paragraphStart(line.paragraph) + p->from;
    const int lastInLine = text.textStart() + text.textLength();
    int cursor = text.xToCursor(x);
    // The end of a wrapped line is the start of the next: the last character's
    // place stays on this line.
    if (cursor >= lastInLine && (line.line + 1 < layouts_.linesOf(line.paragraph))) {
        cursor = std::max(text.textStart(), lastInLine - 1);
    }
    return std::clamp(start + cursor, 0, index_.characterCount());
}

int SourceView::positionAtPoint(QPoint point) const {
    finishLoading();
    const LayoutUse use(*this);
    qreal y = topOffset();
    Line at = top_;
    if (point.y() < y) {
        return positionInLine(at, point.x());
    }
    for (int n = 0; n < 4 * screenLines(); ++n) {
        const qreal h = ParagraphLayouts::advance(layouts_.textLine(at));
        if (point.y() < y + h) {
            break;
        }
        const Line after = layouts_.next(at);
        if (after == at) {
            break;
        }
        y += h;
        at = after;
    }
    return positionInLine(at, point.x());
}

QString SourceView::selectedText() const {
    finishLoading();
    QString text = decode(std::min(caret_, anchor_), std::max(caret_, anchor_));
    text.replace(u'\n', QChar::ParagraphSeparator);
    return text;
}

void SourceView::setCaret(int position, bool keepAnchor) {
    load();
    position = std::clamp(position, 0, index_.characterCount());
    const bool hadSelection = hasSelection();
    if (caretShown()) {
        repaintCaret();
    }
    caret_ = position;
    if (!keepAnchor) {
        anchor_ = position;
    }
    if (hadSelection || hasSelection()) {
        viewport()->update();
    }
    if (hasFocus()) {
        caretOn_ = true; // the blinking keeps its pace
        repaintCaret();
    }
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent moved(this, caret_);
        QAccessible::updateAccessibility(&moved);
    }
}

void SourceView::setCursorPosition(int position, bool keepAnchor) {
    setCaret(position, keepAnchor);
    caretX_ = -1;
}

void SourceView::selectAll() {
    load();
    anchor_ = 0;
    setCaret(index_.characterCount(), true);
    caretX_ = -1;
}

// Events --------------------------------------------------------------------

bool SourceView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) ||
            key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void SourceView::showEvent(QShowEvent* event) {
    load();
    QAbstractScrollArea::showEvent(event);
    if (viewport()->width() != layouts_.shape().viewportWidth) {
        dropLayouts();
    }
    adjustScrollBars();
}

void SourceView::relayout() {
    // The lines are broken afresh; the top line is then the one holding the
    // character that began the top line before.
    const bool fromTop = index_.complete() && top_ != Line{};
    const LayoutUse use(*this, fromTop ? LayoutUse::Fresh : LayoutUse::Continuing);
    const int first = fromTop ? layouts_.lineStart(top_) : 0;
    dropLayouts();
    fracture_ = 0;
    top_ = first > 0 ? layouts_.lineOfPosition(first) : Line{};
}

void SourceView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // The lines are broken afresh only when the viewport's width changes.
    if (viewport()->width() != layouts_.shape().viewportWidth) {
        relayout();
    }
    layouts_.forgetLastScreen();
    adjustScrollBars();
}

void SourceView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        relayout();
        adjustScrollBars();
        viewport()->update();
    }
}

void SourceView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0) {
        blink_.start(flash / 2, this);
    }
    setCaret(caret_, true);
    if (hasSelection()) {
        viewport()->update();
    }
}

void SourceView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blink_.stop();
    caretOn_ = false;
    repaintCaret();
    if (hasSelection()) {
        viewport()->update();
    }
}

void SourceView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blink_.timerId()) {
        caretOn_ = !caretOn_;
        repaintCaret();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void SourceView::mousePressEvent(QMouseEvent* event) {
    // A press on selected text would start a drag of it: the selection goes first.
    if (event->button() == Qt::LeftButton) {
        const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
        setCursorPosition(positionAtPoint(event->position().toPoint()), extend);
        selecting_ = true;
    }
    event->accept();
    if (pressHandler_) {
        pressHandler_();
    }
}

void SourceView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || (event->buttons() & Qt::LeftButton) == 0) {
        return;
    }
    const LayoutUse use(*this, LayoutUse::Continuing);
    QPoint at = event->position().toPoint();
    if (at.y() < 0) {
        setTop(layouts_.step(top_, -1));
        at.setY(0);
    } else if (at.y() >= viewport()->height()) {
        setTop(layouts_.step(top_, 1));
        at.setY(viewport()->height() - 1);
    }
    setCursorPosition(positionAtPoint(at), true);
}

void SourceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        offerSelection();
    }
    event->accept();
}

void SourceView::offerSelection() {
    // As text views do: a selection is offered as the X11 selection, which
    // gets nothing of the text.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection()) {
        clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
    }
}

void SourceView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The word under the pointer is selected.
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const LayoutUse use(*this);
    const int position = positionAtPoint(event->position().toPoint());
    const int paragraph = index_.paragraphOf(position);
    const int character = position - index_.paragraphStart(paragraph);
    const Piece& p = layouts_.pieceOfCharacter(paragraph, character);
    const QString text = p.layout->text();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    const int inPiece = std::clamp(character - p.from, 0, static_cast<int>(text.size()));
    finder.setPosition(inPiece);
    int from = finder.isAtBoundary() ? inPiece : static_cast<int>(finder.toPreviousBoundary());
    finder.setPosition(inPiece);
    int to = static_cast<int>(finder.toNextBoundary());
    if (from < 0) {
        from = 0;
    }
    if (to < 0) {
        to = static_cast<int>(text.size());
    }
    const int start = index_.paragraphStart(paragraph) + p.from;
    anchor_ = start + from;
    setCaret(start + to, true);
    selecting_ = true;
    event->accept();
}

void SourceView::keyPressEvent(QKeyEvent* event) {
    load();
    const LayoutUse use(*this);
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->accept(); // the clipboard keeps what it holds
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.front().isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept(); // typed text goes nowhere
        return;
    }
    const std::optional<KeyMove> key = keyMoveOf(event);
    if (!key) {
        event->ignore();
        return;
    }
    const Line line = layouts_.lineOfPosition(caret_);
    const QRect here = cursorRect(caret_);
    const qreal x = caretX_ >= 0 ? caretX_ : here.x();
    const Target target = targetOf(key->move, line, x);
    setCaret(target.position, key->select);
    caretX_ = target.keepX ? x : -1;
    ensureCursorVisible();
    offerSelection();
    event->accept();
}

std::optional<SourceView::KeyMove> SourceView::keyMoveOf(const QKeyEvent* event) {
    struct Binding {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Move kind;
    };
    static const Binding bindings[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::PreviousChar},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::NextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::PreviousLine},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::LineStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::LineEnd},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::Start},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::End},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::NextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PreviousPage},
    };
    for (const Binding& binding : bindings) {
        const bool select = event->matches(binding.select);
        if (select || event->matches(binding.move)) {
            return KeyMove{binding.kind, select};
        }
    }
    return std::nullopt;
}

SourceView::Target SourceView::targetOf(Move move, Line line, qreal x) {
    const int end = index_.characterCount();
    switch (move) {
    case Move::NextChar:
        return {caret_ + 1, false};
    case Move::PreviousChar:
        return {caret_ - 1, false};
    case Move::NextLine:
    case Move::PreviousLine: {
        const bool down = move == Move::NextLine;
        const Line to = layouts_.step(line, down ? 1 : -1);
        // Past the first or last line: the start or the end of the text.
        return {to == line ? (down ? end : 0) : positionInLine(to, x), true};
    }
    case Move::LineStart:
        return {layouts_.lineStart(line), false};
    case Move::LineEnd:
        return {positionInLine(line, 1e9), false};
    case Move::Start:
        return {0, false};
    case Move::End:
        return {end, false};
    case Move::NextPage:
    case Move::PreviousPage:
        return pageTarget(move == Move::NextPage, line, x);
    }
    return {caret_, false};
}

SourceView::Target SourceView::pageTarget(bool down, Line line, qreal x) {
    // As a plain text edit pages: the view moves a screen, and the caret as
    // many lines as keep it at the same height on the screen.
    ensureCursorVisible();
    const int y = cursorRect(caret_).top();
    Line top = top_;
    qreal passed = down ? topOffset() : 0;
    bool atEnd = false;
    for (;;) {
        const Line after = down ? layouts_.next(top) : layouts_.previous(top);
        if (after == top) {
            atEnd = true;
            break;
        }
        const qreal h = ParagraphLayouts::advance(layouts_.textLine(down ? top : after));
        if (passed + h > viewport()->height()) {
            break;
        }
        passed += h;
        top = after;
    }
    setTop(top);
    Line at = layouts_.lineOfPosition(caret_);
    for (int n = 0; n < 2 * screenLines(); ++n) {
        qreal atY = 0;
        if (!lineTop(at, atY, 3 * screenLines()) || (down ? atY >= y : atY <= y)) {
            break;
        }
        const Line further = down ? layouts_.next(at) : layouts_.previous(at);
        if (further == at) {
            break;
        }
        at = further;
    }
    // On the last page the caret goes on to the end of the text.
    return {atEnd && down && at == line ? index_.characterCount() : positionInLine(at, x), true};
}

void SourceView::inputMethodEvent(QInputMethodEvent* event) {
    event->accept(); // no commit, no pre-edit: the source stays as loaded
}

QVariant SourceView::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) {
        return false; // input methods leave the view alone
    }
    return QAbstractScrollArea::inputMethodQuery(query);
}

void SourceView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept(); // no menu, so no Copy entry
}

QMimeData* SourceView::createMimeDataFromSelection() const {
    return new QMimeData; // the source's text never leaves the view
}

} // namespace qarvel::ui
