// Speed, accuracy, time to completion and the typing curve, from event logs
// built by hand; the characters typed wrong; the order of the table.
#include "results/Speed.h"

#include "QtPrinting.h"
#include "exam/Gbk.h"
#include "results/Sorting.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using namespace qarvel::results;
using qarvel::exam::ExamEvent;
using qarvel::exam::ExamLog;
using Kind = ExamEvent::Kind;

std::string Gbk(const char* utf8) {
    return qarvel::exam::Utf8ToGbk(utf8);
}
ExamEvent Append(std::int64_t ms, const char* utf8) {
    return {ms, Kind::Append, Gbk(utf8), 0};
}
ExamEvent Remove(std::int64_t ms, int bytes) {
    return {ms, Kind::Remove, {}, bytes};
}
ExamEvent Pause(std::int64_t ms) {
    return {ms, Kind::Pause, {}, 0};
}
ExamEvent Continue(std::int64_t ms) {
    return {ms, Kind::Continue, {}, 0};
}

TEST(Speed, CompletedExamIsTimedFromTheFirstChangeToTheLastWithoutPauses) {
    // Typing starts 5 s after the login; a 20 s pause; done at 65 s.
    const ExamLog log{{Append(5000, "春"), Append(15000, "眠"), Pause(20000), Continue(40000),
                       Append(50000, "不"), Append(65000, "觉")},
                      4};
    const Measures m = Measure(log, {4, true, 61});
    ASSERT_TRUE(m.completion);
    EXPECT_EQ(*m.completion, 40000);
    EXPECT_EQ(m.examMs, 40000);
    ASSERT_TRUE(m.speed);
    EXPECT_DOUBLE_EQ(*m.speed, 6.0); // 4 characters in 40 s
    EXPECT_DOUBLE_EQ(*m.accuracy, 1.0);
}

TEST(Speed, UnfinishedExamIsTimedToItsLastChange) {
    // Typing from 1 s to 65 s with a 2 s pause, closed at 70 s: 62 s of typing.
    const ExamLog log{
        {Append(1000, "春"), Pause(10000), Continue(12000), Append(65000, "眠"), Pause(70000)}, 2};
    const Measures m = Measure(log, {2, false, 69});
    EXPECT_FALSE(m.completion);
    EXPECT_EQ(m.examMs, 62000);
    // A record without an event log is timed by its clock.
    const Measures bare = Measure(ExamLog{}, {2, false, 120});
    EXPECT_EQ(bare.examMs, 120000);
    EXPECT_DOUBLE_EQ(*bare.speed, 1.0);
}

TEST(Speed, KeysASecondKeysACharacterAndCorrections) {
    // 10 s of typing: 春 棉(taken back) 眠 不, 20 key presses.
    const ExamLog log{{Append(1000, "春"), Append(3000, "棉"), Remove(4000, 2), Append(6000, "眠"),
                       Append(11000, "不")},
                      20};
    struct Case {
        const char* what;
        std::int64_t keys;
        std::optional<double> perSecond;
        std::optional<double> perCharacter;
    };
    for (const Case& c : {Case{"counted", 20, 2.0, 5.0}, Case{"not counted", -1, {}, {}},
                          Case{"none", 0, 0.0, 0.0}}) {
        const Measures m = Measure(log, {3, false, 30, c.keys});
        EXPECT_EQ(m.keysPerSecond, c.perSecond) << c.what;
        EXPECT_EQ(m.keysPerCharacter, c.perCharacter) << c.what;
        EXPECT_EQ(m.removed, 1) << c.what;
    }
    // Under a second of typing: no keys a second; nothing appended: no keys a character.
    EXPECT_FALSE(Measure(ExamLog{{Append(1000, "a")}, 3}, {1, true, 0, 3}).keysPerSecond);
    EXPECT_FALSE(Measure(ExamLog{}, {0, false, 60, 3}).keysPerCharacter);
}

TEST(Speed, DeletionsCountAsTyping) {
    // 春 right, 棉 wrong and taken back (2 bytes), 眠 right: 3 appended + 1 removed.
    const ExamLog log{{Append(1000, "春"), Append(2000, "棉"), Remove(3000, 2), Append(4000, "眠")},
                      6};
    const Measures m = Measure(log, {2, false, 60});
    EXPECT_EQ(m.typed, 3);
    EXPECT_EQ(m.removed, 1);
    EXPECT_DOUBLE_EQ(*m.accuracy, 0.5);
}

TEST(Speed, APhraseCommittedAtOnceCountsEachCharacter) {
    // Spaces and line breaks are typed but are no characters.
    const ExamLog log{{Append(1000, "春眠不觉晓"), Append(1000, "\r\n"), Append(3000, "ab c")}, 9};
    const Measures m = Measure(log, {8, false, 60});
    EXPECT_EQ(m.typed, 8);
    EXPECT_DOUBLE_EQ(*m.accuracy, 1.0);
    const std::vector<CurvePoint> curve = TypingCurve(log);
    EXPECT_EQ(curve, (std::vector<CurvePoint>{{1000, 5}, {3000, 8}}));
}

TEST(Speed, RemovingPartOfACharacterRemovesTheCharacter) {
    const ExamLog log{{Append(1000, "春a"), Remove(2000, 2), Append(3000, "x")}, 3};
    const Measures m = Measure(log, {0, false, 60});
    EXPECT_EQ(m.removed, 2);
    EXPECT_EQ(TypingCurve(log).back().characters, 1); // x; the byte left of 春 is none
}

TEST(Speed, NothingTypedOrNoTimeHasNoSpeedOrAccuracy) {
    const Measures empty = Measure(ExamLog{}, {0, false, 0});
    EXPECT_FALSE(empty.speed);
    EXPECT_FALSE(empty.accuracy);
    // A single change completes the exam at once: no time, no speed.
    const Measures instant = Measure(ExamLog{{Append(1000, "a")}, 1}, {1, true, 0});
    EXPECT_EQ(*instant.completion, 0);
    EXPECT_FALSE(instant.speed);
}

TEST(Speed, PausesAreClippedToTheSpanAndAnOpenPauseLastsToTheEnd) {
    const ExamLog log{{Pause(0), Continue(3000), Append(5000, "a"), Pause(8000)}, 1};
    const std::vector<PauseSpan> pauses = Pauses(log, 12000);
    EXPECT_EQ(pauses, (std::vector<PauseSpan>{{0, 3000}, {8000, 12000}}));
    EXPECT_EQ(ActiveMs(pauses, 2000, 10000), 8000 - 1000 - 2000);
    EXPECT_EQ(ActiveMs(pauses, 10000, 2000), 0);
    // A repeated pause or a continue without a pause changes nothing.
    const ExamLog twice{{Continue(1), Pause(10), Pause(20), Continue(30), Continue(40)}, 0};
    EXPECT_EQ(Pauses(twice, 50), (std::vector<PauseSpan>{{10, 30}}));
}

TEST(Speed, RandomLogsKeepTheirInvariants) {
    std::mt19937 random(7);
    const char* pieces[] = {"春", "a", "眠不", "\r\n", " ", "觉晓。"};
    for (int run = 0; run < 200; ++run) {
        ExamLog log;
        std::int64_t ms = 0;
        std::int64_t bytes = 0;
        for (int i = 0; i < 40; ++i) {
            ms += std::int64_t(random() % 3000);
            if (bytes > 0 && random() % 4 == 0) {
                const int count =
                    int(1 + random() % std::uint32_t(std::min<std::int64_t>(bytes, 4)));
                log.events.push_back(Remove(ms, count));
                bytes -= count;
            } else {
                log.events.push_back(Append(ms, pieces[random() % 6]));
                bytes += std::int64_t(log.events.back().text.size());
            }
        }
        const std::vector<CurvePoint> curve = TypingCurve(log);
        const Measures m = Measure(log, {int(curve.back().characters), true, 0});
        // What is left is what went in less what went out.
        EXPECT_EQ(curve.back().characters, m.typed - m.removed);
        EXPECT_LE(*m.accuracy, 1.0);
        EXPECT_EQ(*m.completion, ms - log.events.front().ms);
        for (std::size_t i = 1; i < curve.size(); ++i) {
            EXPECT_LT(curve[i - 1].ms, curve[i].ms);
        }
    }
}

TEST(WrongCharacters, TheSourceCharacterWhereAWrongOneWasTypedCounts) {
    const std::string source = Gbk("春眠不觉晓\r\nab");
    const auto counted = [&source](const ExamLog& log) {
        std::map<std::string, WrongCount> counts;
        CountWrongCharacters(log, source, counts);
        std::map<std::string, std::map<std::string, int>> typed;
        for (const auto& [character, wrong] : counts) {
            int sum = 0;
            for (const auto& [as, n] : wrong.typedAs) {
                sum += n;
            }
            EXPECT_EQ(sum, wrong.count);
            typed[character] = wrong.typedAs;
        }
        return typed;
    };
    using Typed = std::map<std::string, std::map<std::string, int>>;
    // 春 right; 棉 for 眠, taken back, 棉 again, taken back, 眠 right; 布 for
    // 不; a line break where it belongs; x for a; past the end nothing counts.
    const ExamLog log{{Append(1, "春"), Append(2, "棉"), Remove(3, 2), Append(3, "棉"),
                       Remove(3, 2), Append(4, "眠"), Append(5, "布觉晓"), Append(6, "\r\n"),
                       Append(7, "xbzz")},
                      0};
    EXPECT_EQ(
        counted(log),
        (Typed{{Gbk("眠"), {{Gbk("棉"), 2}}}, {Gbk("不"), {{Gbk("布"), 1}}}, {"a", {{"x", 1}}}}));
    // A Chinese character half a character off is wrong for the source
    // character the view marks: the one after it.
    EXPECT_EQ(counted(ExamLog{{Append(1, "a春")}, 0}),
              (Typed{{Gbk("春"), {{"a", 1}}}, {Gbk("眠"), {{Gbk("春"), 1}}}}));
}

std::vector<QString> Sorted(const std::vector<SortFields>& rows, SortKey key) {
    std::vector<QString> out;
    for (const std::size_t i : SortOrder(rows, key)) {
        out.push_back(rows[i].number);
    }
    return out;
}

TEST(Sorting, EachKeyIsStableAndNumbersGoByValue) {
    const std::vector<SortFields> rows{
        {"10", "张三", 80, 40.0},       {"2", "李四", 95, std::nullopt},
        {"01", "王五", 80, 55.04},      {"１", "赵六", 60, 55.0},
        {"a3", "Anna", 95, 12.0},       {"a20", "anna2", 80, 55.01},
        {"1", "李四", 60, std::nullopt}};
    EXPECT_EQ(Sorted(rows, SortKey::Number),
              (std::vector<QString>{"01", "1", "１", "2", "10", "a3", "a20"}));
    EXPECT_EQ(Sorted(rows, SortKey::Score),
              (std::vector<QString>{"2", "a3", "10", "01", "a20", "１", "1"}));
    // 55.04, 55.0 and 55.01 all show as 55.0: they keep their order.
    EXPECT_EQ(Sorted(rows, SortKey::Speed),
              (std::vector<QString>{"01", "１", "a20", "10", "a3", "2", "1"}));
    // Chinese names by pinyin: li, wang, zhang, zhao; digits by value. Latin
    // names come after the Chinese ones in ICU's Chinese order, before them in
    // Windows' own.
#ifdef _WIN32
    EXPECT_EQ(Sorted(rows, SortKey::Name),
              (std::vector<QString>{"a3", "a20", "2", "1", "01", "10", "１"}));
#else
    EXPECT_EQ(Sorted(rows, SortKey::Name),
              (std::vector<QString>{"2", "1", "01", "10", "１", "a3", "a20"}));
#endif
}

TEST(Sorting, WordsAndNaturalOrder) {
    EXPECT_EQ(ParseSortKey("speed"), SortKey::Speed);
    EXPECT_FALSE(ParseSortKey("Speed"));
    EXPECT_FALSE(ParseSortKey(""));
    EXPECT_LT(CompareNaturally("2024009", "2024010"), 0);
    EXPECT_LT(CompareNaturally("9", "0010"), 0);
    EXPECT_LT(CompareNaturally("", "0"), 0);
    EXPECT_EQ(CompareNaturally("abc", "abc"), 0);
    EXPECT_GT(CompareNaturally("b1", "a2"), 0);
    // A total order on random texts of digits and letters.
    std::mt19937 random(3);
    const QString alphabet = QStringLiteral("0019a１");
    std::vector<QString> texts;
    for (int i = 0; i < 60; ++i) {
        QString t;
        for (int k = int(random() % 5); k > 0; --k) {
            t += alphabet[qsizetype(random() % std::uint32_t(alphabet.size()))];
        }
        texts.push_back(t);
    }
    for (const QString& a : texts) {
        for (const QString& b : texts) {
            EXPECT_EQ(CompareNaturally(a, b) < 0, CompareNaturally(b, a) > 0) << a << " " << b;
            EXPECT_EQ(CompareNaturally(a, b) == 0, a == b);
        }
    }
}

} // namespace
