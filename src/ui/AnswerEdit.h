#pragma once

#include "MessageBoxes.h"
#include "exam/CommitKeys.h"

#include <QPlainTextEdit>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMenu;

namespace qarvel::ui {

class VisualLineIndex;

// The exam window's answer box. The answer changes only at its end: the caret
// never leaves the end and nothing is ever selected, whatever the keys, the
// mouse, the input method or a program ask. It reports every change of its text,
// and each reported change only adds at the end or only removes from the end:
//  - Ctrl+Tab, Page Down, End, Home and the arrow keys are swallowed (with any
//    modifiers), and so is Select All. Page Up scrolls one page up and leaves
//    the caret at the end; the next change scrolls back to it. Plain Tab and
//    Shift+Tab move the focus.
//  - Enter (either key, any modifiers) appends one line break at the very end and
//    puts the caret there; it never inserts a line break at the caret.
//  - Backspace at the start of a line other than the first removes the answer's
//    last byte (one change), then the box's own Backspace follows.
//  - A typed space is refused where the caret line is as long, in GBK bytes, as
//    the source line with the same number. Spaces inside an input method's commit
//    pass: the input method has already shown them to the examinee.
//  - Any mouse press or release puts the caret at the end, nothing selected, and
//    takes the focus.
//  - Cut, copy and paste are refused by every route (keys, context menu, the X11
//    selection, drag and drop); undo works. The accessibility interface reads
//    the answer but edits nothing (TextViewAccessible).
//  - While read-only, no key changes anything (Enter, Backspace, undo included).
//  - Input-method commits:
//    - A commit of one character always passes (Chinese punctuation and digits
//      come that way, with no pre-edit before them).
//    - A commit of two or more characters passes only when it ends a composition:
//      the box shows the input method's pre-edit text (pinyin shows "ni hao"
//      before it commits 你好) when the commit arrives. Anything else, such as the
//      input method's own clipboard or a prediction chosen after a commit, was
//      not composed here and is refused: the answer stays as it is and no change
//      is reported; a pre-edit in the same event is still shown.
//    - A commit that passes is one change per character, as if typed.
//    - A request to delete or replace text around the caret is refused unless it
//      ends at the end of the answer; the removal is then a change of its own.
//      The input method's selection requests are ignored.
//    - A commit passes only as the answer to a real key press (see
//      realKeyPresses and exam::CommitKeys): each key press that the input
//      method took pays for at most one commit. A commit with no key to pay for
//      it (a second program committing through the input method's bus, say) is
//      refused like a commit not composed here, and still uses up a key. Where
//      the window system does not report key presses before the input method
//      takes them (Wayland's text input, where the compositor hands the keys to
//      the input method), commits are not held to keys: only the compositor's
//      own input method can commit there.
//    - While read-only or disabled, the box takes no input method: any open
//      composition is discarded as it becomes so, the input method is told the
//      box takes no input (as the source view does), commits change nothing and
//      report nothing, and no pre-edit is shown. Keys typed meanwhile entitle no
//      commit once the box takes input again.
//  - Key events that another program sends (X11's send_event) never reach the
//    box nor its window (X11KeyEvents).
// Lines and columns are those the box shows: paragraphs wrapped at its width.
class AnswerEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit AnswerEdit(QWidget* parent = nullptr);

    // The answer as GBK bytes, each line break CR LF. While the handler runs for
    // the byte that Backspace removes, this is the shortened answer.
    std::string gbkText() const;

    // Byte length of line `line` of the source view as that view lays it out
    // (wrapped lines included); 0 past its end. Unset: every source line is empty.
    void setSourceLineLength(std::function<int(int line)> fn);

    // Runs once for every real change of the answer's text, never for input-method
    // pre-edit text. A committed phrase is one change per character, in order.
    // The handler may throw: the box catches the error and shows it in the
    // window's error box (setMessageBoxes). For a change the box makes itself
    // (typing, a commit, Enter's line break) the box then goes on; when the change
    // is the byte Backspace removes, the error ends that key and the box's own
    // Backspace does not follow. Pass the bare handler (not wrapped in Guarded) so
    // the box can tell a failed change.
    void setChangeHandler(std::function<void()> handler);
    // Who answers the error box of a failed change: the window's.
    void setMessageBoxes(MessageBoxes boxes) { boxes_ = std::move(boxes); }

    // Caret to the end, nothing selected, focus to the box.
    void moveCaretToEnd();

    // Real key presses that reached the box while it took input: counted as the
    // window system delivers them, before any input method takes them, where it
    // reports them (X11); elsewhere the keys the box itself receives (those an
    // input method takes are then unseen).
    [[nodiscard]] std::int64_t realKeyPresses() const { return keyPresses_; }
    // The window system's report of one real key press that reached the box.
    void noteRealKeyPress();
    // Whether the window system reports the box's key presses (noteRealKeyPress)
    // before any input method takes them; only then are commits held to keys.
    // On X11 the box sets it itself.
    void setKeysFromWindowSystem(bool on);
    [[nodiscard]] bool keysFromWindowSystem() const { return keysFromWindowSystem_; }
    // Starts watching the window system's key events (RealKeyPresses), which the
    // first box does by itself: key events other programs send are dropped in
    // every window, and each real key press goes to the answer box it reached.
    // True where the window system reports them (X11, Windows).
    static bool WatchRealKeyPresses();

    [[nodiscard]] QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void onTextChanged();
    // Reports the text if it differs from the one last reported; false when the
    // handler failed.
    bool reportChange();
    bool runHandler();
    void appendLineBreak();
    // Backspace's first step; false when the change failed.
    bool removeLastByte();
    bool refusesTypedCharacter(const QKeyEvent* e) const;
    // Whether the caret's line shows input-method pre-edit text.
    bool showsPreedit() const;
    // Takes away the pre-edit text shown, leaving the answer as it is.
    void dropPreedit();
    void clearSelection();
    // Caret to the end, nothing selected; neither focus nor scrolling change
    // unless the caret moves.
    void keepCaretAtEnd();
    void imEvent(const QInputMethodEvent& e);
    [[nodiscard]] bool takesInput() const { return isEnabled() && !isReadOnly(); }
    // Whether a commit is paid for by a real key press (using that key up).
    bool commitPaid();
    // The box stopped or started taking input: the input method follows.
    void inputChanged();

    std::function<void()> changeHandler_;
    MessageBoxes boxes_;
    std::function<int(int)> sourceLineLength_;
    // Where the box's visual lines start; made at first use, for the box's document.
    [[nodiscard]] VisualLineIndex& lines() const;
    mutable std::shared_ptr<VisualLineIndex> lines_;
    mutable const QTextDocument* linesOf_ = nullptr;
    QString lastText_;
    std::string lastGbk_;    // lastText_ in GBK, kept in step with it
    bool reporting_ = false; // the handler runs for lastText_
    std::optional<std::string> shortenedGbk_;
    bool quiet_ = false;
    bool keysFromWindowSystem_ = false;
    bool tookInput_ = true;       // takesInput() as of the last inputChanged()
    std::int64_t keyPresses_ = 0; // see realKeyPresses()
    exam::CommitKeys commitKeys_;
};

} // namespace qarvel::ui
