#pragma once

#include <string>
#include <string_view>

namespace qarvel::exam {

// Virtual-key codes the answer box's key rules look at.
namespace vk {
inline constexpr int Back = 8;
inline constexpr int Tab = 9;
inline constexpr int Return = 13;
inline constexpr int Prior = 33; // Page Up
inline constexpr int Next = 34;  // Page Down
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Delete = 46;
} // namespace vk

// Clipboard requests an edit control receives (window message numbers).
namespace wm {
inline constexpr unsigned Cut = 768;
inline constexpr unsigned Copy = 769;
inline constexpr unsigned Paste = 770;
inline constexpr unsigned Clear = 771;
inline constexpr unsigned Undo = 772;
} // namespace wm

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
KeyDownAction KeyDownRule(int virtualKey, int caretLine, int caretColumn, bool readOnly);

// The answer after a rule that changes it (AppendLineBreak, RemoveLastByte);
// any other action leaves it as it is. An empty answer has no byte to remove.
std::string ApplyKeyDownRule(KeyDownAction action, std::string_view answer);

// The key-press rule: a typed space is refused where the answer's caret line is
// exactly as long (in bytes) as the source line with the same number.
bool RefusesCharacter(char32_t character, int answerLineLength, int sourceLineLength);

// The clipboard filter: cut, copy and paste requests never reach the box;
// every other message (clear, undo, ...) passes.
bool RefusesClipboardRequest(unsigned message);

} // namespace qarvel::exam
