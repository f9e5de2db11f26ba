// Line counts summed in a tree: every answer as a plain running sum gives it.
#include "exam/LineCountTree.h"

#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <vector>

namespace qarvel::exam {
namespace {

TEST(LineCountTreeTest, AnswersAsRunningSums) {
    std::mt19937 random(5);
    for (const int paragraphs : {1, 2, 3, 7, 8, 9, 100, 1000}) {
        LineCountTree tree;
        tree.reset(paragraphs);
        std::vector<int> lines(static_cast<std::size_t>(paragraphs), 1);
        for (int round = 0; round < 200; ++round) {
            const int p = static_cast<int>(random() % static_cast<unsigned>(paragraphs));
            const int count = static_cast<int>(random() % 5); // 0 counts as one line
            const int before = lines[static_cast<std::size_t>(p)];
            lines[static_cast<std::size_t>(p)] = std::max(count, 1);
            ASSERT_EQ(tree.setLinesOf(p, count), before != std::max(count, 1));
            ASSERT_TRUE(tree.counted(p));

            const int probe = static_cast<int>(random() % static_cast<unsigned>(paragraphs));
            const int first = std::accumulate(lines.begin(), lines.begin() + probe, 0);
            ASSERT_EQ(tree.firstLineOf(probe), first);
            ASSERT_EQ(tree.linesOf(probe), lines[static_cast<std::size_t>(probe)]);
            const int total = std::accumulate(lines.begin(), lines.end(), 0);
            ASSERT_EQ(tree.totalLines(), total);
            // Every line of the probe's paragraph finds it.
            for (int line = first; line < first + tree.linesOf(probe); ++line) {
                ASSERT_EQ(tree.paragraphAtLine(line), probe);
            }
        }
        // Beyond the ends: the first and the last paragraph.
        EXPECT_EQ(tree.paragraphAtLine(-3), 0);
        EXPECT_EQ(tree.paragraphAtLine(tree.totalLines() + 10), paragraphs - 1);
    }
}

TEST(LineCountTreeTest, ResetCountsOneLineEachUncounted) {
    LineCountTree tree;
    tree.reset(4);
    tree.setLinesOf(2, 9);
    tree.reset(6);
    EXPECT_EQ(tree.totalLines(), 6);
    for (int p = 0; p < 6; ++p) {
        EXPECT_FALSE(tree.counted(p));
        EXPECT_EQ(tree.firstLineOf(p), p);
        EXPECT_EQ(tree.paragraphAtLine(p), p);
    }
    EXPECT_FALSE(tree.setLinesOf(1, 1)); // one line already, now counted
    EXPECT_TRUE(tree.counted(1));
}

} // namespace
} // namespace qarvel::exam
