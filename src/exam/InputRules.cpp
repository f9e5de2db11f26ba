#include "InputRules.h"

namespace qarvel::exam {

KeyDownAction KeyDownRule(Key key, int caretLine, int caretColumn, bool readOnly) {
    switch (key) {
    case Key::Tab:
    case Key::PageDown:
    case Key::End:
    case Key::Home:
    case Key::Left:
    case Key::Up:
    case Key::Right:
    case Key::Down:
        // The caret-moving keys, all but Page Up, which looks back a page.
        return KeyDownAction::Swallow;
    default:
        break;
    }
    if (key == Key::Enter) {
        // The Enter character never inserts anything by itself, so a read-only box
        // simply drops the key.
        return readOnly ? KeyDownAction::Swallow : KeyDownAction::AppendLineBreak;
    }
    if (key == Key::Backspace) {
        if (readOnly) {
            return KeyDownAction::Swallow;
        }
        if (caretColumn == 0 && caretLine != 0) {
            return KeyDownAction::RemoveLastByte;
        }
    }
    return KeyDownAction::Pass;
}

std::string ApplyKeyDownRule(KeyDownAction action, std::string_view answer) {
    std::string result(answer);
    if (action == KeyDownAction::AppendLineBreak) {
        result += "\r\n";
    } else if (action == KeyDownAction::RemoveLastByte && !result.empty()) {
        result.pop_back();
    }
    return result;
}

bool RefusesCharacter(char32_t character, int answerLineLength, int sourceLineLength) {
    return character == U' ' && answerLineLength == sourceLineLength;
}

bool RefusesClipboardRequest(ClipboardRequest request) {
    return request == ClipboardRequest::Cut || request == ClipboardRequest::Copy ||
           request == ClipboardRequest::Paste;
}

} // namespace qarvel::exam
