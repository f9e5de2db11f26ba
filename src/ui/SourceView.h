#pragma once

#include "exam/ExamView.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qarvel::ui {

class VisualLineIndex;

// The source view RichEdit1: a read-only view of the GBK source text.
//
// Its characters correspond one to one with the source's characters: a byte
// from 129 to 254 and the byte after it are one character, a CR LF line break is
// one character (a paragraph break), every other byte is a character by itself.
// A group that does not decode to one character shows as "\uFFFD".
//
// The marks (colour and underline of each character) are kept beside the text,
// not in it: the text is laid out once, a mark repaints only its character, and
// painting draws the marks of the lines it paints. When the underline falls on
// a line break, a small return sign at the end of that line shows it.
//
// The view never gives its text away: copying (Ctrl+C, Ctrl+Insert, copy()),
// the X11 selection and dragging get nothing from it, and it has no context
// menu. Selecting with the mouse or the keyboard still works, for reading.
//
// Nothing changes its text: it takes no typed text and no input-method commit,
// in any state, and its accessibility interface reads but edits nothing
// (TextViewAccessible).
class SourceView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SourceView(QWidget* parent = nullptr);

    // Replaces the text; every character black without underline. With
    // `inIdleTime` the text is taken in while the program has nothing else to
    // do, a slice at a time (a long text then keeps no window waiting); it is
    // all there whenever the view is shown or asked about it.
    void setSourceText(std::string gbk, bool inIdleTime = false);
    // The same in idle time, read from the caller's `gbk` instead of a copy:
    // that string (the object; its buffer may move with it) must live and keep
    // its text as long as the view shows it (the view reads it to address
    // characters by byte offset).
    void setSourceTextFrom(const std::string& gbk);
    // The text as it was given, byte for byte.
    [[nodiscard]] const std::string& gbkText() const { return *source_; }
    // Takes in whatever of the text is still waiting.
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
    // source character, a line break as '\n'; and the look of the character at
    // a position of that text.
    [[nodiscard]] QString shownText() const;
    struct Look {
        QColor colour;
        bool underline = false;
    };
    [[nodiscard]] Look lookAt(int position) const;

    // Input methods are told the view takes no input.
    [[nodiscard]] QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Called after the view has handled a mouse press itself.
    void setMousePressHandler(std::function<void()> handler) { pressHandler_ = std::move(handler); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    // Starts taking in *source_ (in idle time with `inIdleTime`).
    void startLoading(bool inIdleTime);
    // Takes in the bytes up to about `until`; the last slice finishes the text.
    void loadSlice(std::size_t until);
    // Lays the document out for the viewport's width, while it is still short.
    void matchTextWidth();
    // The number of bytes of the character beginning at byte `offset`.
    [[nodiscard]] std::size_t groupSize(std::size_t offset) const;
    // The marks of the characters [from, to) as format ranges relative to `base`.
    void appendMarks(QList<QTextLayout::FormatRange>& ranges, int from, int to, int base) const;
    // Repaints the character at `position`, if it is on screen.
    void repaintCharacter(int position);
    // Paints the part of `block` in `exposed` with its marks, drawing only the
    // glyphs near `exposed`.
    void drawMarkedBlock(QPainter& painter, const QTextBlock& block, QPointF offset,
                         const QRect& exposed) const;
    // Where and how thick the underline of line `number` of `layout` is drawn,
    // from the line's top (the layout's lines must be laid out).
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
    // The return sign after the last line of `block`, at `offset`.
    void drawLineBreakSign(QPainter& painter, const QTextBlock& block, QPointF offset) const;

    std::string gbk_;
    const std::string* source_ = &gbk_; // the text's bytes: gbk_ or the caller's
    std::size_t loaded_ = 0;            // bytes taken in so far
    bool loading_ = false;              // bytes wait to be taken in
    // The cursor goes back to the start when the view is shown.
    bool cursorToStart_ = false;
    QTimer* idle_ = nullptr; // takes the next slice in idle time
    std::size_t bytes_ = 0;
    int characters_ = 0;
    int laidOutWidth_ = -1; // the viewport width the lines were broken at
    // Byte to character, a stretch of kStretch bytes at a time: for each
    // stretch, twice the position of the first character beginning in it, plus
    // one when that character begins at its second byte (its first byte being
    // the second of a two-byte character). Within a stretch the bytes are read.
    static constexpr std::size_t kStretch = 512;
    static constexpr std::size_t kSlice = 32 * 1024; // bytes taken in at a time
    std::vector<std::int32_t> stretches_;
    // The character found last, as a place to read on from: its first byte and position.
    mutable std::size_t lastByte_ = 0;
    mutable int lastPosition_ = 0;
    // Per character: colour and underline; characters past its end are plain.
    std::vector<std::uint8_t> marks_;
    std::function<void()> pressHandler_;
    // Blocks on screen keep their shaped glyphs; the others let them go.
    void keepShapedOnly(std::vector<int> onScreen);
    std::vector<int> shaped_;
    std::vector<int> unshaped_;
    bool releasing_ = false;
    // Where the view's visual lines start; made at first use, for the view's document.
    [[nodiscard]] VisualLineIndex& lines() const;
    mutable std::shared_ptr<VisualLineIndex> lines_;
    mutable const QTextDocument* linesOf_ = nullptr;
};

} // namespace qarvel::ui
