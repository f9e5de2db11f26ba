#pragma once

#include "exam/ExamView.h"

#include <QTextEdit>
#include <functional>
#include <string>
#include <vector>

namespace qarvel::ui {

// The source view RichEdit1: a read-only rich-text view of the GBK source text.
//
// Its characters correspond one to one with the source's characters: a byte
// from 129 to 254 and the byte after it are one character, a CR LF line break is
// one character (a paragraph break), every other byte is a character by itself.
// Each such group is converted on its own, so an undecodable group still takes
// exactly one character of the view ("\uFFFD").
//
// The view never gives its text away: copying (Ctrl+C, Ctrl+Insert, copy()),
// the X11 selection and dragging get nothing from it, and it has no context
// menu. Selecting with the mouse or the keyboard still works, for reading.
class SourceView : public QTextEdit {
    Q_OBJECT
public:
    explicit SourceView(QWidget* parent = nullptr);

    // Replaces the text; every character black without underline.
    void setSourceText(const std::string& gbk);
    // The text as it was given, byte for byte.
    [[nodiscard]] const std::string& gbkText() const { return gbk_; }

    // The document position of the character that byte `offset` addresses: the
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

    // Called after the view has handled a mouse press itself.
    void setMousePressHandler(std::function<void()> handler) { pressHandler_ = std::move(handler); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    std::string gbk_;
    std::vector<int> positionOfByte_; // per byte offset: the position it addresses, or -1
    std::function<void()> pressHandler_;
};

} // namespace qarvel::ui
