#pragma once

#include "exam/ExamView.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>
#include <QTextLayout>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qarvel::ui {

// The source view RichEdit1: a read-only view of the GBK source text.
//
// Its characters correspond one to one with the source's characters: a byte
// from 129 to 254 and the byte after it are one character, a CR LF line break is
// one character (a paragraph break), every other byte is a character by itself.
// A group that does not decode to one character shows as "\uFFFD".
//
// The view reads the bytes it is given and keeps no other copy of the text: a
// paragraph index (where each paragraph begins and how many lines it takes,
// about 8 bytes a paragraph) and byte-to-character checkpoints. Paragraphs are
// laid out when they are needed (on screen, hit, kept in sight, measured) and
// the layouts of those no longer needed go; a very long paragraph is laid out
// a stretch of lines at a time. Lines look as a plain text edit lays them out.
//
// The marks (colour and underline of each character) are kept beside the text:
// a mark repaints only its character, and painting draws the marks of the lines
// it paints. When the underline falls on a line break, a small return sign at
// the end of that line shows it.
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
    [[nodiscard]] long long layoutsMade() const { return layoutsMade_; }
    [[nodiscard]] int layoutsKept() const { return static_cast<int>(pieces_.size()); }
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
        std::uint64_t used = 0;
    };
    // Where the lines of a very long paragraph break: each segment begins at a
    // line start; those up to `known` characters are found.
    struct LongParagraph {
        std::vector<int> starts{0}; // first character of each segment
        std::vector<int> lines{0};  // first line of each segment
        bool complete = false;      // the last segment reaches the end
        int lineCount = 1;          // lines known plus those guessed
    };
    // A visual line: paragraph and line within it.
    struct Line {
        int paragraph = 0;
        int line = 0;
    };

    void startLoading(bool inIdleTime);
    void loadSlice(std::size_t until);
    [[nodiscard]] std::size_t groupSize(std::size_t offset) const;
    // The byte where the character at `position` begins.
    [[nodiscard]] std::size_t byteOf(int position) const;
    // Characters of [from, to) decoded, line breaks as '\n'.
    [[nodiscard]] QString decode(int from, int to) const;

    // Paragraphs.
    [[nodiscard]] int paragraphOf(int position) const;
    [[nodiscard]] int paragraphStart(int paragraph) const;
    [[nodiscard]] int paragraphLength(int paragraph) const; // without its break
    [[nodiscard]] bool isLong(int paragraph) const;
    // Lines a paragraph takes as far as known (1 for one not laid out).
    [[nodiscard]] int linesOf(int paragraph) const;
    void setLinesOf(int paragraph, int lines);
    [[nodiscard]] int firstLineOf(int paragraph) const; // over the whole text
    [[nodiscard]] int totalLines() const;
    [[nodiscard]] Line lineAtNumber(int number) const;
    [[nodiscard]] int numberOf(Line line) const { return firstLineOf(line.paragraph) + line.line; }

    // Layout.
    [[nodiscard]] qreal lineWidth() const;
    [[nodiscard]] LongParagraph& longOf(int paragraph) const;
    // Finds the segments of a long paragraph up to the one holding `line` or
    // character `character` (relative to the paragraph).
    void extendToLine(int paragraph, int line) const;
    void extendToCharacter(int paragraph, int character) const;
    void extendOnce(int paragraph) const;
    [[nodiscard]] std::unique_ptr<QTextLayout> layOut(int paragraph, int from, int to) const;
    // The laid-out piece holding line `line` of `paragraph`, or character `character`.
    [[nodiscard]] Piece& pieceOfLine(int paragraph, int line) const;
    [[nodiscard]] Piece& pieceOfCharacter(int paragraph, int character) const;
    [[nodiscard]] Piece& piece(int paragraph, int segment) const;
    [[nodiscard]] int segmentOfLine(int paragraph, int line) const;
    [[nodiscard]] int segmentOfCharacter(int paragraph, int character) const;
    void dropLayouts();
    void relayout();
    void keepOnly(const std::vector<const Piece*>& onScreen);
    // The line `delta` lines from `line`, laying out what it passes.
    [[nodiscard]] Line step(Line line, int delta) const;
    [[nodiscard]] Line lineOfPosition(int position) const;
    // The y of `line`'s top relative to the top of the viewport, when within
    // `reach` lines of the top line; otherwise nothing.
    [[nodiscard]] bool lineTop(Line line, qreal& y, int reach) const;
    [[nodiscard]] qreal topOffset() const;
    [[nodiscard]] qreal documentOffset(Line top) const;
    qreal fracture_ = 0; // of a pixel, left over from scrolling
    void moveTop(Line line);

    // Scrolling.
    void adjustScrollBars();
    void adjustLater();
    bool adjustPending_ = false;
    bool placing_ = false; // the scroll bar is being placed
    int bottomLines_ = -1; // lines that fill the viewport from the end
    [[nodiscard]] bool counted(int paragraph) const;
    void ensureCounted(int paragraph) const;
    [[nodiscard]] Line next(Line line) const;
    [[nodiscard]] Line previous(Line line) const;
    [[nodiscard]] QTextLine textLine(Line line, const Piece** piece = nullptr) const;
    [[nodiscard]] static qreal advance(const QTextLine& line);
    [[nodiscard]] int screenLines() const;
    [[nodiscard]] int positionInLine(Line line, qreal x) const;
    void beginUse() const { ++uses_; }
    void trim() const;
    void setTop(Line line);
    void ensureCursorVisible();

    // Painting.
    struct Underline {
        const QTextLayout* layout = nullptr;
        int start = 0;
        int length = 0;
        qreal height = 0;
        QFont font;
        qreal y = 0;
        qreal thickness = 0;
    };
    const Underline& underlineOf(const QTextLayout& layout, int number) const;
    mutable Underline underline_;
    void appendMarks(QList<QTextLayout::FormatRange>& ranges, int from, int to, int base) const;
    void drawMarkedPiece(QPainter& painter, const Piece& piece, QPointF at,
                         const QRect& exposed) const;
    void drawLineBreakSign(QPainter& painter, const Piece& piece, QPointF at) const;
    void repaintCharacter(int position);
    void repaintCaret();
    [[nodiscard]] bool caretShown() const;
    void setCaret(int position, bool keepAnchor);
    void offerSelection();

    std::string gbk_;
    const std::string* source_ = &gbk_; // the text's bytes: gbk_ or the caller's
    std::size_t loaded_ = 0;            // bytes indexed so far
    bool loading_ = false;              // bytes wait to be indexed
    QTimer* idle_ = nullptr;            // indexes the next slice in idle time
    std::size_t bytes_ = 0;
    int characters_ = 0;
    // Byte to character, a stretch of kStretch bytes at a time: for each
    // stretch, twice the position of the first character beginning in it, plus
    // one when that character begins at its second byte (its first byte being
    // the second of a two-byte character). Within a stretch the bytes are read.
    static constexpr std::size_t kStretch = 512;
    static constexpr std::size_t kSlice = 256 * 1024; // bytes indexed at a time
    std::vector<std::int32_t> stretches_;
    mutable std::size_t lastByte_ = 0;
    mutable int lastPosition_ = 0;
    // Per paragraph: its first character (and one past the last paragraph, as
    // if a line break ended the text), and its line count in a sum tree.
    std::vector<std::int32_t> paragraphStarts_;
    mutable std::vector<std::int32_t> lineTree_;
    mutable std::map<int, LongParagraph> long_;
    mutable std::vector<bool> counted_; // laid out once: its line count is known
    // Per character: colour and underline; characters past its end are plain.
    std::vector<std::uint8_t> marks_;

    qreal margin_ = 4;
    int laidOutWidth_ = -1;
    mutable std::vector<std::unique_ptr<Piece>> pieces_;
    mutable std::uint64_t uses_ = 0;
    mutable long long layoutsMade_ = 0;
    // Byte lengths of the first visual lines, as far as asked.
    mutable std::vector<int> lineBytes_;
    mutable Line lineBytesNext_;

    Line top_;          // the line at the top of the viewport
    int caret_ = 0;     // the reader's caret
    int anchor_ = 0;    // the other end of the selection
    qreal caretX_ = -1; // the x the caret keeps going up and down
    bool caretOn_ = false;
    QBasicTimer blink_;
    bool selecting_ = false; // a mouse drag selects
    bool adjusting_ = false;
    std::function<void()> pressHandler_;
};

} // namespace qarvel::ui
