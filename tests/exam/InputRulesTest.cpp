#include "exam/InputRules.h"

#include <gtest/gtest.h>

namespace qarvel::exam {
namespace {

using A = KeyDownAction;

TEST(KeyDownRule, DecidesEachKey) {
    struct Case {
        Key key;
        int line, column;
        bool readOnly;
        A action;
    } cases[] = {
        // Caret-moving keys but Page Up are swallowed, wherever the caret is.
        {Key::Tab, 0, 0, false, A::Swallow},
        {Key::PageDown, 3, 2, false, A::Swallow},
        {Key::End, 0, 0, false, A::Swallow},
        {Key::Home, 0, 0, false, A::Swallow},
        {Key::Left, 1, 0, false, A::Swallow},
        {Key::Up, 1, 0, false, A::Swallow},
        {Key::Right, 0, 5, false, A::Swallow},
        {Key::Down, 0, 5, true, A::Swallow},
        {Key::PageUp, 4, 0, false, A::Pass},
        {Key::Delete, 0, 0, false, A::Pass},
        {Key::Other, 0, 0, false, A::Pass},
        // Enter appends wherever the caret stands.
        {Key::Enter, 0, 0, false, A::AppendLineBreak},
        {Key::Enter, 2, 7, false, A::AppendLineBreak},
        // Backspace only at the start of a line other than the first.
        {Key::Backspace, 1, 0, false, A::RemoveLastByte},
        {Key::Backspace, 9, 0, false, A::RemoveLastByte},
        {Key::Backspace, 0, 0, false, A::Pass},
        {Key::Backspace, 1, 1, false, A::Pass},
        // Read-only: neither Enter nor Backspace changes anything.
        {Key::Enter, 0, 0, true, A::Swallow},
        {Key::Backspace, 1, 0, true, A::Swallow},
        {Key::Backspace, 0, 3, true, A::Swallow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyDownRule(c.key, c.line, c.column, c.readOnly), c.action)
            << "key " << static_cast<int>(c.key) << " line " << c.line << " column " << c.column
            << " read-only " << c.readOnly;
    }
}

TEST(ApplyKeyDownRule, ChangesOnlyTheEnd) {
    struct Case {
        A action;
        std::string_view before, after;
    } cases[] = {
        {A::AppendLineBreak, "", "\r\n"},
        {A::AppendLineBreak, "ab\r\n", "ab\r\n\r\n"},
        {A::AppendLineBreak, "ab\r\ncd", "ab\r\ncd\r\n"},
        {A::RemoveLastByte, "ab\r\n", "ab\r"},
        {A::RemoveLastByte, "ab\r\n\xC4\xE3", "ab\r\n\xC4"},
        {A::RemoveLastByte, "", ""},
        {A::Pass, "ab", "ab"},
        {A::Swallow, "ab", "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplyKeyDownRule(c.action, c.before), c.after) << c.before;
    }
}

TEST(RefusesCharacter, OnlyASpaceOnALineAsLongAsTheSource) {
    struct Case {
        char32_t ch;
        int answer, source;
        bool refused;
    } cases[] = {
        {U' ', 4, 4, true},  {U' ', 0, 0, true},  {U'a', 4, 4, false},
        {U' ', 5, 4, false}, {U' ', 3, 4, false}, {U'\x4F60', 4, 4, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RefusesCharacter(c.ch, c.answer, c.source), c.refused)
            << static_cast<unsigned>(c.ch) << " " << c.answer << "/" << c.source;
    }
}

TEST(RefusesClipboardRequest, CutCopyPasteOnly) {
    using R = ClipboardRequest;
    const struct {
        R request;
        bool refused;
    } cases[] = {{R::Cut, true},    {R::Copy, true},  {R::Paste, true},
                 {R::Clear, false}, {R::Undo, false}, {R::None, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(RefusesClipboardRequest(c.request), c.refused) << static_cast<int>(c.request);
    }
}

} // namespace
} // namespace qarvel::exam
