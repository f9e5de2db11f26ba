// Which commits real key presses pay for: the sequences fcitx5 and ibus send for
// each kind of key (as measured in the real program), and those of a second
// program committing with no key.
#include "exam/CommitKeys.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qarvel::exam {
namespace {

// One step: a key press ('k'), a key reaching the box itself ('b'), a commit
// ending a composition ('C') or not ('c'), at `ms`; a commit's expected verdict.
struct Step {
    char what;
    std::int64_t ms;
    bool paid = true;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

class CommitKeysTable : public ::testing::TestWithParam<Case> {};

TEST_P(CommitKeysTable, PaysExactlyTheHonestCommits) {
    CommitKeys keys;
    for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
        const Step& s = GetParam().steps[i];
        switch (s.what) {
        case 'k':
            keys.KeyPressed(s.ms);
            break;
        case 'b':
            keys.KeyReachedBox();
            break;
        default:
            EXPECT_EQ(keys.PayCommit(s.what == 'C', s.ms), s.paid) << "step " << i;
        }
    }
}

std::vector<Step> Keys(int n, std::int64_t from, std::int64_t gap) {
    std::vector<Step> steps;
    for (int i = 0; i < n; ++i) {
        steps.push_back({'k', from + i * gap});
    }
    return steps;
}

std::vector<Step> Then(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CommitKeysTable,
    ::testing::Values(
        // "nihao " (fcitx5, ibus): five letters compose, space commits 你好.
        Case{"phrase", Then(Keys(6, 0, 40), {{'C', 250}})},
        // "nihao," (fcitx5; ibus with auto-commit): 你好 then ， on the comma.
        Case{"phrase then punctuation", Then(Keys(6, 0, 40), {{'C', 250}, {'c', 251}})},
        // Typed slowly: the comma's own key still pays for the ，.
        Case{"slow phrase then punctuation", Then(Keys(6, 0, 5000), {{'C', 25010}, {'c', 25011}})},
        // "12" in full width (ibus): both keys in before the first commit.
        Case{"two keys ahead of their commits", Then(Keys(2, 0, 40), {{'c', 90}, {'c', 91}})},
        // "wo" then 1, "，" alone, Enter committing letters: one commit per key.
        Case{"number key, punctuation, Enter",
             Then(Keys(3, 0, 40), {{'C', 130}, {'k', 200}, {'c', 230}, {'k', 300}, {'C', 330}})},
        // A candidate clicked long after the pinyin.
        Case{"mouse-chosen candidate", Then(Keys(5, 0, 40), {{'C', 60000}})},
        // A second program: commits with no key at all.
        Case{"no key", {{'c', 10, false}, {'C', 20, false}}},
        // One key pays once: the third commit of a two-key burst is refused.
        Case{"more commits than keys",
             Then(Keys(2, 0, 40), {{'c', 90}, {'c', 91}, {'c', 92, false}})},
        // Keys that reached the box (plain typing) leave nothing to pay with.
        Case{"keys that typed themselves",
             {{'k', 0}, {'b', 1}, {'k', 10}, {'b', 11}, {'c', 20, false}}},
        // Letters banked long ago pay for no stray punctuation.
        Case{"stale keys", Then(Keys(4, 0, 40), {{'c', 10000, false}})},
        // After a phrase, old letters go: only keys in flight remain.
        Case{"old letters go after a commit",
             Then(Keys(10, 0, 1000), {{'C', 9100}, {'c', 9101}, {'c', 9102}, {'c', 9103, false}})},
        // Leftovers of a phrase typed quickly are gone a moment later.
        Case{"leftovers expire", Then(Keys(6, 0, 40), {{'C', 250}, {'c', 1800, false}})}),
    [](const ::testing::TestParamInfo<Case>& row) {
        std::string name = row.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    });

TEST(CommitKeys, ForgetDropsEveryKeyAndTheLedgerStaysBounded) {
    CommitKeys keys;
    for (int i = 0; i < 2000; ++i) {
        keys.KeyPressed(i);
    }
    EXPECT_EQ(keys.unpaid(), CommitKeys::kMaxUnpaid);
    keys.Forget();
    EXPECT_FALSE(keys.PayCommit(true, 2001));
}

} // namespace
} // namespace qarvel::exam
