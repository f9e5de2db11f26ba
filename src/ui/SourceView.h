#pragma once

#include "ParagraphLayouts.h"
#include "SourcePainter.h"
#include "exam/ExamView.h"
#include "exam/SourceIndex.h"
#include "exam/SourceMarks.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

namespace qarvel::ui {

// The source view RichEdit1: a read-only view of the GBK source text.
//
// Its characters correspond one to one with the source's characters: a byte
// from 129 to 254 and the byte after it are one character, a CR LF line break is
// one character (a paragraph break), every other byte is a character by itself.
// A group that does not decode to one character shows as "\uFFFD".
//
// The view reads the bytes it is given and keeps no other copy of the text:
// its index (exam::SourceIndex) says where each character and paragraph
// begins, about 4 bytes a paragraph plus a checkpoint every 512 bytes, and the
// marks (exam::SourceMarks) the colour and underline of each character.
// Paragraphs are laid out when they are needed (on screen, hit, kept in sight,
// measured) and the layouts of those no longer needed go (ParagraphLayouts,
// which counts their lines); a very long paragraph is laid out a stretch of
// lines at a time. Lines look as a plain text edit lays them out, and are drawn
// in the look of their characters by a SourcePainter: a mark repaints only its
// character. When the underline falls on a line break, a small return sign at
// the end of that line shows it. The view itself keeps the scrolling, the
// caret and the selection, and takes the events.
//
// The view never gives its text away: copying, the X11 selection and dragging
// get nothing from it, and it has no context menu. Selecting with the mouse or
// the keyboard works, for reading; so does moving the caret.
//
// Nothing changes its text: it takes no typed text and no input-method commit,
// in any state, and its accessibility interface reads but edits nothing
// (TextViewAccessible).
class SourceView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SourceView(QWidget* parent = nullptr);
    ~SourceView() override;

    // Replaces the text; every character black without underline. With
    // `inIdleTime` the text is indexed while the program has nothing else to
    // do, a slice at a time; it is all there whenever the view is shown or
    // asked about it.
    void setSourceText(std::string gbk, bool inIdleTime = false);
    // The same in idle time, read from the caller's `gbk` instead of a copy:
    // that string (the object; its buffer may move with it) must live and keep
    // its text as long as the view shows it.
    void setSourceTextFrom(const std::string& gbk);
    // The text as it was given, byte for byte.
    [[nodiscard]] const std::string& gbkText() const { return *source_; }
    // Indexes whatever of the text is still waiting.
    void finishLoading() const;

    // The position of the character that byte `offset` addresses: the
    // character beginning at it, or, on the second byte of a character, the one
    // beginning right after it. -1 when no character is addressed.
    [[nodiscard]] int positionAt(int offset) const;

    // Changes the colour or the underline of the addressed character; its other
    // attributes stay. Offsets that address nothing are ignored.
    void markSource(int offset, exam::Mark mark);

    // Scrolls, when needed, so that the character that `offset` addresses and the
    // line after it can be seen. Neither the focus nor the selection changes.
    void keepInSight(int offset);

    // GBK byte length of visual line `line` as this view lays it out (wrapped at
    // its width, line breaks not counted); 0 past the last line.
    [[nodiscard]] int lineByteLength(int line) const;

    // For readers of the view (screen readers): the characters as shown, one per
    // source character, a line break as '\n'; a part of them [from, to); their
    // number; and the look of the character at a position of that text.
    [[nodiscard]] QString shownText() const;
    [[nodiscard]] QString shownText(int from, int to) const;
    [[nodiscard]] int characterCount() const;
    [[nodiscard]] QChar characterAt(int position) const; // a line break as '\n'
    [[nodiscard]] int paragraphCount() const;
    struct Look {
        QColor colour;
        bool underline = false;
    };
    [[nodiscard]] Look lookAt(int position) const;

    // The reader's caret and selection (positions of the shown text).
    [[nodiscard]] int cursorPosition() const { return caret_; }
    [[nodiscard]] int anchorPosition() const { return anchor_; }
    [[nodiscard]] bool hasSelection() const { return caret_ != anchor_; }
    [[nodiscard]] QString selectedText() const;
    // Moves the caret to `position` (clamped), keeping the anchor or not.
    void setCursorPosition(int position, bool keepAnchor = false);
    void selectAll();
    // The caret's rectangle before the character at `position`, in the viewport's
    // coordinates (as far as a few screens from what is shown), and the position
    // nearest a point of the viewport.
    [[nodiscard]] QRect cursorRect(int position) const;
    [[nodiscard]] int positionAtPoint(QPoint point) const;

    // Room around the text, in pixels.
    [[nodiscard]] qreal documentMargin() const { return margin_; }
    void setDocumentMargin(qreal margin);

    // Layouts made so far and those kept now: painting, scrolling and marking
    // lay out only what they show.
    [[nodiscard]] long long layoutsMade() const { return layouts_.layoutsMade(); }
    [[nodiscard]] int layoutsKept() const { return layouts_.layoutsKept(); }
    // Bytes the text's index takes.
    [[nodiscard]] std::size_t indexBytes() const;

    // Input methods are told the view takes no input.
    [[nodiscard]] QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Called after the view has handled a mouse press itself.
    void setMousePressHandler(std::function<void()> handler) { pressHandler_ = std::move(handler); }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // What the view gives whoever asks for its selection: nothing.
    [[nodiscard]] QMimeData* createMimeDataFromSelection() const;

private:
    class LaterTask;
    using Line = ParagraphLayouts::Line;
    using Piece = ParagraphLayouts::Piece;

    // One use of the layouts by an entry point: layouts it does not use may go
    // once others need the room; when it is over, line counts that changed
    // have the scroll bar placed again after the current event.
    class LayoutUse {
    public:
        enum Kind { Fresh, Continuing };
        explicit LayoutUse(const SourceView& view, Kind kind = Fresh);
        ~LayoutUse();
        LayoutUse(const LayoutUse&) = delete;
        LayoutUse& operator=(const LayoutUse&) = delete;

    private:
        const SourceView& view_;
    };

    void startLoading(bool inIdleTime);
    // Indexes what waits; when that completes the text, it is laid out afresh.
    void load();
    void loaded();
    [[nodiscard]] QString decode(int from, int to) const;

    // Layout.
    [[nodiscard]] ParagraphLayouts::Shape shape() const;
    void dropLayouts();
    void relayout();

    // Scrolling.
    // The y of `line`'s top relative to the top of the viewport, when within
    // `reach` lines of the top line; otherwise nothing.
    [[nodiscard]] bool lineTop(Line line, qreal& y, int reach) const;
    [[nodiscard]] qreal topOffset() const;
    [[nodiscard]] qreal documentOffset(Line top) const;
    void moveTop(Line line);
    void adjustScrollBars();
    [[nodiscard]] int screenLines() const;
    void setTop(Line line);
    void ensureCursorVisible();

    // Reading: the caret and the selection.
    [[nodiscard]] int positionInLine(Line line, qreal x) const;
    void repaintCharacter(int position);
    void repaintCaret();
    [[nodiscard]] bool caretShown() const;
    void setCaret(int position, bool keepAnchor);
    void offerSelection();
    // Keys that move the caret, for reading; with Shift the selection follows.
    enum class Move {
        NextChar,
        PreviousChar,
        NextLine,
        PreviousLine,
        LineStart,
        LineEnd,
        Start,
        End,
        NextPage,
        PreviousPage
    };
    struct KeyMove {
        Move move;
        bool select;
    };
    [[nodiscard]] static std::optional<KeyMove> keyMoveOf(const QKeyEvent* event);
    // Where a move takes the caret from `line`, its line, and whether the caret
    // keeps the x it goes up and down at (`x`).
    struct Target {
        int position = 0;
        bool keepX = false;
    };
    Target targetOf(Move move, Line line, qreal x);
    Target pageTarget(bool down, Line line, qreal x);

    std::string gbk_;
    const std::string* source_ = &gbk_; // the text's bytes: gbk_ or the caller's
    // The index of the text: built in idle time, a slice at a time, and
    // completed by whatever asks about the text first. It says only what the
    // bytes say, so the queries that complete it stay queries.
    mutable exam::SourceIndex index_;
    QTimer* idle_ = nullptr; // indexes the next slice in idle time
    exam::SourceMarks marks_;
    // Laid out on demand: queries lay out what they read (and learn line
    // counts), so the layouts are a cache of the text at the view's width.
    mutable ParagraphLayouts layouts_;
    SourcePainter painter_;
    // Places the scroll bar after the current event; queries may ask for it.
    LaterTask* scrollBarsLater_ = nullptr;

    qreal margin_ = 4;
    qreal fracture_ = 0;   // of a pixel, left over from scrolling
    bool placing_ = false; // the scroll bar is being placed
    bool adjusting_ = false;

    Line top_;          // the line at the top of the viewport
    int caret_ = 0;     // the reader's caret
    int anchor_ = 0;    // the other end of the selection
    qreal caretX_ = -1; // the x the caret keeps going up and down
    bool caretOn_ = false;
    QBasicTimer blink_;
    bool selecting_ = false; // a mouse drag selects
    std::function<void()> pressHandler_;
};

} // namespace qarvel::ui
