#include "exam/InputRules.h"

#include <gtest/gtest.h>

namespace qarvel::exam {
namespace {

using A = KeyDownAction;

TEST(KeyDownRule, DecidesEachKey) {
    struct Case {
        int key, line, column;
        bool readOnly;
        A action;
    } cases[] = {
        // Caret-moving keys but Page Up are swallowed, wherever the caret is.
        {vk::Tab, 0, 0, false, A::Swallow},
        {vk::Next, 3, 2, false, A::Swallow},
        {vk::End, 0, 0, false, A::Swallow},
        {vk::Home, 0, 0, false, A::Swallow},
        {vk::Left, 1, 0, false, A::Swallow},
        {vk::Up, 1, 0, false, A::Swallow},
        {vk::Right, 0, 5, false, A::Swallow},
        {vk::Down, 0, 5, true, A::Swallow},
        {vk::Prior, 4, 0, false, A::Pass},
        {vk::Delete, 0, 0, false, A::Pass},
        {41, 0, 0, false, A::Pass},
        {32, 0, 0, false, A::Pass},
        // Enter appends wherever the caret stands.
        {vk::Return, 0, 0, false, A::AppendLineBreak},
        {vk::Return, 2, 7, false, A::AppendLineBreak},
        // Backspace only at the start of a line other than the first.
        {vk::Back, 1, 0, false, A::RemoveLastByte},
        {vk::Back, 9, 0, false, A::RemoveLastByte},
        {vk::Back, 0, 0, false, A::Pass},
        {vk::Back, 1, 1, false, A::Pass},
        // Read-only: neither Enter nor Backspace changes anything.
        {vk::Return, 0, 0, true, A::Swallow},
        {vk::Back, 1, 0, true, A::Swallow},
        {vk::Back, 0, 3, true, A::Swallow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyDownRule(c.key, c.line, c.column, c.readOnly), c.action)
            << "key " << c.key << " line " << c.line << " column " << c.column << " read-only "
            << c.readOnly;
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
    for (unsigned m = 760; m < 780; ++m) {
        EXPECT_EQ(RefusesClipboardRequest(m), m >= 768 && m <= 770) << m;
    }
}

} // namespace
} // namespace qarvel::exam
