// The teacher's checker: what it finds in a source text, and that its counts
// are the exam window's.
#include "exam/SourceCheck.h"

#include "exam/ExamState.h"
#include "exam/Gbk.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace qarvel::exam {
namespace {

using namespace std::string_literals;
using W = SourceWarning;
using E = SourceEncoding;

struct Case {
    const char* name;
    std::string bytes;
    E encoding;
    bool rich;
    SourceCounts counts; // ascii, hanzi, total
    int lines;
    std::vector<LostCharacter> lost;
    std::vector<W> warnings;
};

TEST(SourceCheckTest, FindingsTable) {
    const std::string g = Utf8ToGbk("abc 你好\r\n第二行");
    const Case cases[] = {
        {"GBK, two lines", g, E::Gbk, false, {3, 5, 8}, 2, {}, {}},
        {"UTF-8 without a mark", "你好\nab", E::Utf8, false, {2, 2, 4}, 2, {}, {}},
        {"UTF-8 with a mark, an emoji",
         "\xEF\xBB\xBF你\n\n😀好",
         E::Utf8Bom,
         false,
         {1, 2, 3},
         3,
         {{3, "😀"}},
         {W::LostCharacters}},
        {"UTF-16LE, a character outside GBK",
         "\xFF\xFE\x60\x4F\r\0\n\0\x3D\xD8\x00\xDE?\0"s,
         E::Utf16Le,
         false,
         {2, 1, 3},
         2,
         {{2, "😀"}},
         {W::LostCharacters}},
        {"UTF-16BE", "\xFE\xFF\x4F\x60"s, E::Utf16Be, false, {0, 1, 1}, 1, {}, {}},
        {"accented Latin UTF-8 reads as GBK",
         "caf\xC3\xA9",
         E::Gbk,
         false,
         {3, 1, 4},
         1,
         {},
         {W::LatinUtf8AsGbk}},
        {"Word document",
         "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0abc"s,
         E::Gbk,
         false,
         {0, 3, 3},
         1,
         {},
         {W::Binary}},
        {"zip (docx)",
         "PK\x03\x04\x14\0\x06\0"s,
         E::Gbk,
         false,
         {2, 0, 2},
         1,
         {},
         {W::Binary, W::NoHanzi}},
        {"RTF with \\u escapes",
         "{\\rtf1\\ansi \\u20320?\\par\\u-10179?\\u-8704?x}",
         E::Gbk,
         true,
         {2, 1, 3},
         2,
         {{2, "😀"}},
         {W::LostCharacters}},
        {"RTF cut short",
         "{\\rtf1 abc",
         E::Gbk,
         false,
         {9, 0, 9},
         1,
         {},
         {W::BrokenRichText, W::NoHanzi}},
        {"GBK bytes that decode to nothing",
         "\x80x\xA1\r\n"s,
         E::Gbk,
         false,
         {1, 1, 2},
         2,
         {},
         {W::Undecodable}},
        {"empty file", "", E::Gbk, false, {0, 0, 0}, 0, {}, {W::Empty}},
        {"blanks only", " \t\r\n ", E::Gbk, false, {0, 0, 0}, 2, {}, {W::Empty}},
        {"Latin only", "Hello, world", E::Gbk, false, {11, 0, 11}, 1, {}, {W::NoHanzi}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SourceReport r = CheckSource(c.bytes);
        EXPECT_EQ(r.encoding, c.encoding);
        EXPECT_EQ(r.richText, c.rich);
        EXPECT_EQ(r.counts.ascii, c.counts.ascii);
        EXPECT_EQ(r.counts.hanzi, c.counts.hanzi);
        EXPECT_EQ(r.counts.total, c.counts.total);
        EXPECT_EQ(r.lines, c.lines);
        EXPECT_EQ(r.lost, c.lost);
        EXPECT_EQ(r.warnings, c.warnings);
    }
}

// Whatever the bytes, the checker's counts and lines are those of the text the
// exam window loads, and a character it lists is one the window shows as "?".
TEST(SourceCheckTest, AgreesWithTheLoaderOnRandomFiles) {
    const std::string pieces[] = {"a",
                                  " ",
                                  "\r",
                                  "\n",
                                  "\r\n",
                                  "\0"s,
                                  "你",
                                  "\xC3\xA9",
                                  "\xF0\x9F\x98\x80",
                                  "\x80",
                                  "\xC4\xE3",
                                  "{\\rtf1 ",
                                  "\\u-10179?\\u-8704?",
                                  "\\par ",
                                  "}",
                                  "\xEF\xBB\xBF",
                                  "\xFF\xFE",
                                  "\x3D\xD8"};
    std::mt19937 random(20240917);
    for (int run = 0; run < 3000; ++run) {
        std::string bytes;
        const auto count = random() % 12;
        for (unsigned i = 0; i < count; ++i) {
            bytes += pieces[random() % std::size(pieces)];
        }
        SCOPED_TRACE(testing::PrintToString(bytes));
        const SourceReport r = CheckSource(bytes);
        ExamState state;
        const std::string text = SourceTextFromBytes(bytes);
        const SourceCounts counts = CountSource(state, text);
        ASSERT_EQ(r.counts.total, counts.total);
        ASSERT_EQ(r.counts.hanzi, counts.hanzi);
        ASSERT_EQ(r.lines, text.empty()
                               ? 0
                               : 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n')));
        for (const LostCharacter& lost : r.lost) {
            ASSERT_GE(lost.line, 1);
            ASSERT_LE(lost.line, r.lines);
            ASSERT_EQ(Utf8ToGbk(lost.text), "?");
        }
        ASSERT_LE(r.lost.size(),
                  static_cast<std::size_t>(std::count(text.begin(), text.end(), '?')));
    }
}

} // namespace
} // namespace qarvel::exam
