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
        {"GBK bytes that decode to nothing, a final line break",
         "\x80x\xA1\r\n"s,
         E::Gbk,
         false,
         {1, 1, 2},
         1,
         {},
         {W::Undecodable, W::OtherEncoding}}, // €x¡ in Windows-1252
        {"empty file", "", E::Gbk, false, {0, 0, 0}, 0, {}, {W::Empty}},
        {"blanks only", " \t\r\n ", E::Gbk, false, {0, 0, 0}, 2, {}, {W::Empty}},
        {"Latin only", "Hello, world", E::Gbk, false, {11, 0, 11}, 1, {}, {W::NoHanzi}},
        {"lines end with breaks of each kind",
         Utf8ToGbk("一\r二\n三\r\n"),
         E::Gbk,
         false,
         {0, 3, 3},
         3,
         {},
         {}},
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
        ASSERT_EQ(r.lines, static_cast<int>(std::count(text.begin(), text.end(), '\n')) +
                               (text.empty() || text.ends_with('\n') ? 0 : 1));
        for (const LostCharacter& lost : r.lost) {
            ASSERT_GE(lost.line, 1);
            ASSERT_LE(lost.line, r.lines);
            ASSERT_EQ(Utf8ToGbk(lost.text), "?");
        }
        ASSERT_LE(r.lostCount, static_cast<std::size_t>(std::count(text.begin(), text.end(), '?')));

        // Read a few bytes at a time, the file gives the same report.
        const SourceReport small = CheckSource(bytes, 1 + random() % 6);
        ASSERT_EQ(small.encoding, r.encoding);
        ASSERT_EQ(small.likely, r.likely);
        ASSERT_EQ(small.richText, r.richText);
        ASSERT_EQ(small.counts.ascii, r.counts.ascii);
        ASSERT_EQ(small.counts.total, r.counts.total);
        ASSERT_EQ(small.lines, r.lines);
        ASSERT_EQ(small.lost, r.lost);
        ASSERT_EQ(small.undecodable, r.undecodable);
        ASSERT_EQ(small.warnings, r.warnings);
    }
}

// The encoding a file read as GBK was probably written in, and what its
// undecodable bytes stand for there.
TEST(SourceCheckTest, NamesTheLikelyEncoding) {
    using L = LikelyEncoding;
    struct Guess {
        const char* name;
        std::string bytes;
        L likely;
        std::vector<W> warnings;
        std::string firstMeant; // of the first undecodable bytes listed
    };
    const std::string u16 = "H\0i\0 \0`O}Y\r\0\n\0"s; // "Hi 你好" CR LF, UTF-16LE
    std::string u16be;
    for (std::size_t i = 0; i + 1 < u16.size(); i += 2) {
        u16be += u16.substr(i + 1, 1) + u16.substr(i, 1);
    }
    const Guess guesses[] = {
        {"Latin-1",
         "Caf\xE9 au lait, na\xEFve \xE0 la carte\n",
         L::Latin1,
         {W::Undecodable, W::OtherEncoding},
         "\xC3\xA9"},
        {"Big5",
         "\xA4\xA4\xA4\xE5\xAC\x4F\xA1\x43\r\n",
         L::Big5,
         {W::Undecodable, W::OtherEncoding},
         "\xE3\x80\x82"}, // 中文是。: A1 43 is 。
        {"UTF-16LE without a mark", u16, L::Utf16LeNoMark, {W::OtherEncoding, W::NoHanzi}, ""},
        {"UTF-16BE without a mark", u16be, L::Utf16BeNoMark, {W::OtherEncoding, W::Empty}, ""},
        {"Chinese UTF-16LE without a mark, 一 putting NULs at even offsets too",
         "\x00\x4E\x74\x5E\x00\x4E\xA6\x5E\x84\x76\xCB\x79\x29\x59\x0C\xFF\x32\x00\x30\x00\x32"
         "\x00\x36\x00\x74\x5E\x00\x4E\x08\x67\x00\x4E\xE5\x65\x02\x30\x0D\x00\x0A\x00"s,
         L::Utf16LeNoMark,
         {W::OtherEncoding, W::Empty},
         ""},
        {"GBK", Utf8ToGbk("中文，是的。\r\n"), L::None, {}, ""},
        {"GBK with a rare character", Utf8ToGbk("丂中文是的"), L::None, {}, ""},
        {"Latin UTF-8", "na\xC3\xAFve", L::None, {W::LatinUtf8AsGbk}, ""},
        {"a zip holds NULs at both offsets",
         "PK\x03\x04\0\0a\0b\0"s,
         L::None,
         {W::Binary, W::NoHanzi},
         ""},
        {"ASCII with one NUL", "abcdefgh\0abcdefg"s, L::None, {W::Binary, W::NoHanzi}, ""},
        {"ASCII with NULs at both offsets",
         "ab\0cd\0\0efgh\0\0"s,
         L::None,
         {W::Binary, W::NoHanzi},
         ""},
    };
    for (const Guess& g : guesses) {
        SCOPED_TRACE(g.name);
        const SourceReport r = CheckSource(g.bytes);
        EXPECT_EQ(r.encoding, E::Gbk);
        EXPECT_EQ(r.likely, g.likely);
        EXPECT_EQ(r.warnings, g.warnings);
        if (!g.firstMeant.empty()) {
            ASSERT_FALSE(r.undecodable.empty());
            EXPECT_EQ(r.undecodable.front().meant, g.firstMeant);
        }
    }
}

// A long file: findings are counted in full but listed only up to a bound, and
// a block boundary in the middle of a character or a line break changes nothing.
TEST(SourceCheckTest, LongFilesAreReadABlockAtATime) {
    std::string utf8 = "\xEF\xBB\xBF";
    for (int i = 0; i < 1000; ++i) {
        utf8 += "你好😀\r\n";
    }
    const SourceReport whole = CheckSource(utf8, 1 << 20);
    EXPECT_EQ(whole.lostCount, 1000U);
    EXPECT_EQ(whole.lost.size(), kListedFindings);
    EXPECT_EQ(whole.lost.back(), (LostCharacter{40, "😀"}));
    EXPECT_EQ(whole.lines, 1000);
    EXPECT_EQ(whole.counts.hanzi, 2000);
    EXPECT_EQ(whole.counts.ascii, 1000); // each emoji shows as "?"
    for (const std::size_t block : {7U, 64U, 4095U}) {
        SCOPED_TRACE(block);
        const SourceReport r = CheckSource(utf8, block);
        EXPECT_EQ(r.lostCount, whole.lostCount);
        EXPECT_EQ(r.lost, whole.lost);
        EXPECT_EQ(r.lines, whole.lines);
        EXPECT_EQ(r.counts.total, whole.counts.total);
    }
}

} // namespace
} // namespace qarvel::exam
