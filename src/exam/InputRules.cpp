#include "InputRules.h"

namespace qarvel::exam {

KeyDownAction KeyDownRule(int virtualKey, int caretLine, int caretColumn, bool readOnly) {
    if (virtualKey == vk::Tab || (virtualKey >= vk::Next && virtualKey <= vk::Down)) {
        return KeyDownAction::Swallow;
    }
    if (virtualKey == vk::Return) {
        // The Enter character never inserts anything by itself, so a read-only box
        // simply drops the key.
        return readOnly ? KeyDownAction::Swallow : KeyDownAction::AppendLineBreak;
    }
    if (virtualKey == vk::Back) {
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

bool RefusesClipboardRequest(unsigned message) {
    return message == wm::Cut || message == wm::Copy || message == wm::Paste;
}

} // namespace qarvel::exam
