// The source's index: characters and paragraphs of GBK bytes, built at once or
// a slice at a time; the marks beside it.
#include "exam/SourceIndex.h"

#include "exam/SourceMarks.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace qarvel::exam {
namespace {

// What the index must find, read naively: per byte, the position it addresses
// (-1 past the last character); per character, its first byte; paragraph starts.
struct Reading {
    std::vector<int> positionOfByte;
    std::vector<std::size_t> byteOfPosition;
    std::vector<int> paragraphStarts{0};
};

Reading Read(const std::string& bytes) {
    Reading r;
    int position = 0;
    for (std::size_t i = 0; i < bytes.size(); ++position) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool pair = i + 1 < bytes.size() &&
                          ((b >= 0x81 && b <= 0xFE) || (b == '\r' && bytes[i + 1] == '\n'));
        r.byteOfPosition.push_back(i);
        r.positionOfByte.push_back(position);
        if (pair) {
            r.positionOfByte.push_back(position + 1);
        }
        i += pair ? 2 : 1;
        if (b == '\r' || b == '\n') {
            r.paragraphStarts.push_back(position + 1);
        }
    }
    for (int& p : r.positionOfByte) {
        p = p == position ? -1 : p;
    }
    return r;
}

std::string RandomSource(std::mt19937& random, std::size_t size) {
    const char pieces[][3] = {"a",        " ",        "\r\n", "\n",   "\r",
                              "\xB0\xA1", "\x81\x40", "\x80", "\xFF", "\x81\x20"};
    std::string source;
    while (source.size() < size) {
        source += pieces[random() % std::size(pieces)];
    }
    return source;
}

void ExpectIndexes(const SourceIndex& index, const std::string& bytes) {
    const Reading r = Read(bytes);
    ASSERT_TRUE(index.complete());
    ASSERT_EQ(index.characterCount(), static_cast<int>(r.byteOfPosition.size()));
    ASSERT_EQ(index.paragraphCount(), static_cast<int>(r.paragraphStarts.size()));
    for (int p = 0; p < index.paragraphCount(); ++p) {
        ASSERT_EQ(index.paragraphStart(p), r.paragraphStarts[static_cast<std::size_t>(p)]);
    }
    for (int position = 0; position < index.characterCount(); ++position) {
        ASSERT_EQ(index.byteOf(position), r.byteOfPosition[static_cast<std::size_t>(position)]);
        const int paragraph = index.paragraphOf(position);
        ASSERT_LE(index.paragraphStart(paragraph), position);
        ASSERT_LE(position, index.paragraphStart(paragraph) + index.paragraphLength(paragraph));
    }
    EXPECT_EQ(index.byteOf(index.characterCount()), bytes.size());
    // Offsets asked forwards, backwards and at random all address the same.
    std::mt19937 random(11);
    std::vector<int> offsets;
    for (int offset = -1; offset <= static_cast<int>(bytes.size()); ++offset) {
        offsets.push_back(offset);
    }
    for (int round = 0; round < 3; ++round) {
        for (const int offset : offsets) {
            const int want = offset >= 0 && offset < static_cast<int>(bytes.size())
                                 ? r.positionOfByte[static_cast<std::size_t>(offset)]
                                 : -1;
            ASSERT_EQ(index.positionAt(offset), want) << "offset " << offset;
        }
        round == 0 ? std::reverse(offsets.begin(), offsets.end())
                   : std::shuffle(offsets.begin(), offsets.end(), random);
    }
}

TEST(SourceIndexTest, MixedGroupsTable) {
    // a | 汉 | CR LF | 丂 | 80 | FF | 81 20 | b | B0 (cut short)
    const std::string bytes = "a\xBA\xBA\r\n\x81\x40\x80\xFF\x81\x20"
                              "b\xB0";
    SourceIndex index;
    index.reset(bytes);
    index.indexAll();
    ExpectIndexes(index, bytes);
    EXPECT_EQ(index.characterCount(), 9);
    EXPECT_EQ(index.paragraphCount(), 2);
    EXPECT_EQ(index.paragraphLength(0), 2);
    EXPECT_EQ(index.paragraphLength(1), 6);
    std::vector<std::size_t> sizes;
    index.forEachCharacter(0, 9,
                           [&](const unsigned char*, std::size_t size) { sizes.push_back(size); });
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1, 2, 2, 2, 1, 1, 2, 1, 1}));
}

TEST(SourceIndexTest, EmptyTextIsOneEmptyParagraph) {
    SourceIndex fresh;
    const std::string empty;
    SourceIndex reset;
    reset.reset(empty);
    reset.indexAll();
    for (const SourceIndex* index : {&fresh, &reset}) {
        EXPECT_EQ(index->characterCount(), 0);
        EXPECT_EQ(index->paragraphCount(), 1);
        EXPECT_EQ(index->paragraphLength(0), 0);
        EXPECT_EQ(index->positionAt(0), -1);
        EXPECT_EQ(index->byteOf(0), 0u);
    }
}

// Built a slice at a time, whatever the slices cut (groups, line breaks,
// checkpoints), the index is the one built at once.
TEST(SourceIndexTest, SlicesIndexAsAtOnce) {
    std::mt19937 random(7);
    for (const std::size_t size : {1u, 511u, 512u, 513u, 5000u, 40000u}) {
        const std::string bytes = RandomSource(random, size);
        for (const std::size_t slice : {1u, 3u, 511u, 4096u}) {
            SourceIndex index;
            index.reset(bytes);
            std::size_t before = 0;
            while (!index.indexSlice(slice)) {
                ASSERT_FALSE(index.complete());
                ASSERT_GT(index.indexedBytes(), before);
                before = index.indexedBytes();
            }
            ExpectIndexes(index, bytes);
        }
    }
}

TEST(SourceIndexTest, ResetStartsOverOnOtherBytes) {
    std::mt19937 random(3);
    const std::string first = RandomSource(random, 3000);
    const std::string second = RandomSource(random, 1000);
    SourceIndex index;
    index.reset(first);
    index.indexAll();
    (void)index.positionAt(2500); // a shortcut from the old text must not stay
    index.reset(second);
    EXPECT_FALSE(index.complete());
    index.indexAll();
    ExpectIndexes(index, second);
}

TEST(SourceMarksTest, MarksChangeColourAndUnderlineApart) {
    SourceMarks marks;
    EXPECT_EQ(marks.at(5), SourceMarks::kPlain);
    // Plain marks past the end take no room.
    EXPECT_FALSE(marks.apply(10, Mark::Black));
    EXPECT_FALSE(marks.apply(10, Mark::UnderlineOff));
    EXPECT_EQ(marks.extent(), 0);
    struct Step {
        Mark mark;
        bool changed;
        SourceMarks::Colour colour;
        bool underline;
    };
    const Step steps[] = {
        {Mark::Red, true, SourceMarks::kRed, false},
        {Mark::UnderlineOn, true, SourceMarks::kRed, true},
        {Mark::UnderlineOn, false, SourceMarks::kRed, true},
        {Mark::Blue, true, SourceMarks::kBlue, true},
        {Mark::UnderlineOff, true, SourceMarks::kBlue, false},
        {Mark::Black, true, SourceMarks::kBlack, false},
        {Mark::Black, false, SourceMarks::kBlack, false},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(marks.apply(3, step.mark), step.changed);
        EXPECT_EQ(SourceMarks::colourOf(marks.at(3)), step.colour);
        EXPECT_EQ(SourceMarks::underlined(marks.at(3)), step.underline);
    }
    EXPECT_EQ(marks.extent(), 4);
    EXPECT_EQ(marks.at(2), SourceMarks::kPlain); // its neighbours stay plain
    EXPECT_EQ(marks.at(-1), SourceMarks::kPlain);
    marks.clear();
    EXPECT_EQ(marks.at(3), SourceMarks::kPlain);
}

} // namespace
} // namespace qarvel::exam
