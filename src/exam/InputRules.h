#pragma once

#include <string>
#include <string_view>

namespace qarvel::exam {

// The keys the answer box's key rules look at, whatever the window system
// calls them; every other key is Other.
enum class Key {
    Other,
    Backspace,
    Tab, // arrives only with Ctrl held: plain Tab and Shift+Tab move the focus
    Enter,
    PageUp,
    PageDown,
    End,
    Home,
    Left,
    Up,
    Right,
    Down,
    Delete,
};

// What a key or a menu entry asks of the answer box's clipboard.
enum class ClipboardRequest { None, Cut, Copy, Paste, Clear, Undo };

// What the answer box does with a key before acting on it itself.
enum class KeyDownAction {
    Pass,            // the box acts on the key as usual
    Swallow,         // the key is cancelled: it never reaches the box
    AppendLineBreak, // CR LF after the last byte of the answer, caret to the end; nothing else
    RemoveLastByte,  // the answer loses its last byte, caret to the end; then the box's own
                     // Backspace
};

// The key-down rules: caret-moving keys other than Page Up (and Tab, which only
// arrives with Ctrl held) are swallowed; Enter appends a line break; Backspace at
// column 0 of a line other than line 0 removes the answer's last byte. Modifier keys
// play no part. While the box is read-only, Enter and Backspace change nothing.
KeyDownAction KeyDownRule(Key key, int caretLine, int caretColumn, bool readOnly);

// The answer after a rule that changes it (AppendLineBreak, RemoveLastByte);
// any other action leaves it as it is. An empty answer has no byte to remove.
std::string ApplyKeyDownRule(KeyDownAction action, std::string_view answer);

// The key-press rule: a typed space is refused where the answer's caret line is
// exactly as long (in bytes) as the source line with the same number.
bool RefusesCharacter(char32_t character, int answerLineLength, int sourceLineLength);

// The clipboard filter: cut, copy and paste requests never reach the box;
// clear and undo pass.
bool RefusesClipboardRequest(ClipboardRequest request);

} // namespace qarvel::exam
