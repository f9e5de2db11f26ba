#include "exam/CompareAnswer.h"

#include "CompareAnswerReference.h"
#include "RecordingView.h"
#include "exam/Errors.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"

#include <gtest/gtest.h>
#include <random>
#include <typeinfo>
#include <vector>

namespace qarvel::exam {
namespace {

using testing::RecordingView;

std::string G(const char* utf8) {
    return Utf8ToGbk(utf8);
}

// An exam on one source: counted, ready for changes.
struct Exam {
    explicit Exam(const std::string& source) { CountSource(state, source); }
    void Type(const std::string& answer) { CompareAnswer(state, view, answer); }
    // Types the answer one character (as the view groups them) at a time.
    void TypeEach(const std::string& text, std::string prefix = {}) {
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t len = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
            prefix += text.substr(i, len);
            i += len;
            Type(prefix);
        }
    }
    std::string L(Field l) const { return view.Shown(l); }

    ExamState state;
    RecordingView view;
};

TEST(Score, ExtendedPrecisionRoundsHalfToEven) {
    struct Case {
        int correct, total;
        std::int64_t score;
    } cases[] = {{1, 8, 12},    {3, 8, 38}, {59, 200, 29}, {213, 200, 107},
                 {47, 40, 117}, {0, 7, 0},  {5, 5, 100},   {2, 3, 67}};
    for (const auto& c : cases) {
        EXPECT_EQ(Score(c.correct, c.total), c.score) << c.correct << "/" << c.total;
    }
}

TEST(Score, NothingToCountIsAFloatingPointError) {
    EXPECT_THROW(Score(0, 0), InvalidOpError);
    EXPECT_THROW(Score(3, 0), ZeroDivideError);
}

TEST(CountSource, ClassifiesEveryByteByItself) {
    struct Case {
        std::string text;
        int length, ascii, high;
        SourceCounts labels;
    } cases[] = {
        {"abc " + G("汉字"), 8, 3, 4, {3, 2, 5}},
        {"", 0, 0, 0, {0, 0, 0}},
        {"\x7f", 1, 0, 1, {0, 0, 0}},
        {"\x81\x40", 2, 1, 1, {1, 0, 1}},
        {G("　，") + "\t \r\n", 8, 0, 4, {0, 2, 2}},
        {G("汉") + "\x80", 3, 0, 3, {0, 1, 1}},
    };
    for (const auto& c : cases) {
        ExamState s;
        s.CorrectAsciiCount = 5;
        s.CorrectHanziCount = 6;
        const SourceCounts got = CountSource(s, c.text);
        EXPECT_EQ(s.SourceLength, c.length);
        EXPECT_EQ(s.SourceAsciiCount, c.ascii);
        EXPECT_EQ(s.SourceHighByteCount, c.high);
        EXPECT_EQ(got.ascii, c.labels.ascii);
        EXPECT_EQ(got.hanzi, c.labels.hanzi);
        EXPECT_EQ(got.total, c.labels.total);
        EXPECT_EQ(s.CorrectAsciiCount, 0);
        EXPECT_EQ(s.CorrectHanziCount, 0);
        EXPECT_EQ(s.SourceText, c.text);
    }
}

TEST(CompareAnswer, FirstChangeStartsTheClock) {
    Exam e(G("汉字"));
    EXPECT_FALSE(e.view.clockOn);
    e.Type(G("汉"));
    EXPECT_TRUE(e.view.clockOn);
}

TEST(CompareAnswer, CorrectChineseCharacterTurnsBlueAndUnderlinesTheNext) {
    Exam e(G("汉字ab"));
    e.Type(G("汉"));
    EXPECT_EQ(e.view.ColourAt(0), Mark::Blue);
    EXPECT_FALSE(e.view.UnderlinedAt(0));
    EXPECT_TRUE(e.view.UnderlinedAt(2));
    EXPECT_EQ(e.L(Field::CorrectHanzi), "1");
    EXPECT_EQ(e.L(Field::Score), "25"); // 1 of 4
    EXPECT_EQ(e.state.TotalSourceChars, 4);
}

TEST(CompareAnswer, ChineseCharacterIsJudgedByBothBytes) {
    // 啊 is B0 A1, 薄 is B1 A1: same second byte, different character.
    Exam e(G("啊汉"));
    e.Type(G("薄"));
    EXPECT_EQ(e.view.ColourAt(0), Mark::Red);
    EXPECT_EQ(e.state.CorrectHanziCount, 0);
    EXPECT_EQ(e.L(Field::CorrectHanzi), "0");

    // And when the character before it is deleted and judged again.
    Exam f(G("啊汉"));
    f.Type(G("薄汉"));
    f.Type(G("薄"));
    EXPECT_EQ(f.view.ColourAt(0), Mark::Red);
    EXPECT_EQ(f.state.CorrectHanziCount, 0);
}

TEST(CompareAnswer, WrongCharacterIsRedAndNotCounted) {
    Exam e(G("汉字") + "ab");
    e.TypeEach(G("汉字") + "x");
    EXPECT_EQ(e.view.ColourAt(4), Mark::Red);
    EXPECT_EQ(e.state.CorrectAsciiCount, 0);
    EXPECT_TRUE(e.view.UnderlinedAt(5));
    EXPECT_EQ(e.L(Field::CorrectAscii), "");
}

TEST(CompareAnswer, SpaceOnlyMovesTheUnderlineAndResetsAtOneCharacter) {
    Exam e(G("汉") + " " + G("字词"));
    e.Type(G("汉"));
    e.Type(G("汉") + " ");
    EXPECT_EQ(e.view.ColourAt(2), Mark::Black);
    EXPECT_TRUE(e.view.UnderlinedAt(3));
    EXPECT_EQ(e.L(Field::CorrectHanzi), "0");
    EXPECT_EQ(e.L(Field::Score), "0");

    Exam f(G("汉字") + " " + G("词"));
    f.TypeEach(G("汉字") + " ");
    EXPECT_EQ(f.L(Field::CorrectHanzi), "2");
    EXPECT_EQ(f.state.CorrectHanziCount, 2);
}

TEST(CompareAnswer, SingleByteCharactersDoNotAddUpBeforeTheFirstChineseOne) {
    Exam e("abc" + G("汉"));
    e.Type("a");
    EXPECT_EQ(e.view.ColourAt(0), Mark::Blue);
    EXPECT_EQ(e.state.CorrectAsciiCount, 0);
    EXPECT_EQ(e.L(Field::CorrectAscii), "0"); // the label follows the count, resets included
    e.Type("ab");
    EXPECT_EQ(e.L(Field::CorrectAscii), "0");
    EXPECT_EQ(e.L(Field::Score), "0");
}

TEST(CompareAnswer, DeletingAChineseCharacterTakesItBackAndJudgesTheNewLast) {
    Exam e(G("汉字词"));
    e.TypeEach(G("汉字"));
    EXPECT_EQ(e.L(Field::CorrectHanzi), "2");
    e.view.marks.clear();
    e.Type(G("汉"));
    EXPECT_EQ(e.state.CorrectHanziCount, 1);
    EXPECT_EQ(e.L(Field::CorrectHanzi), "1");
    EXPECT_EQ(e.view.ColourAt(0), Mark::Blue);
    EXPECT_TRUE(e.view.UnderlinedAt(2));
    // The deleted character keeps its colour (no colour mark at its offset).
    for (const auto& m : e.view.marks) {
        if (m.offset == 2) {
            EXPECT_TRUE(m.mark == Mark::UnderlineOn || m.mark == Mark::UnderlineOff);
        }
    }
    // The character after it loses its underline and goes back to black.
    EXPECT_EQ(e.view.marks.back(), (RecordingView::MarkRecord{3, Mark::Black}));
}

TEST(CompareAnswer, DeletingSingleByteCharactersOneAfterAnother) {
    Exam e(G("汉") + "abc");
    e.TypeEach(G("汉") + "abc");
    e.Type(G("汉") + "ab");
    EXPECT_EQ(e.view.ColourAt(4), Mark::Blue); // b stays blue
    EXPECT_TRUE(e.view.UnderlinedAt(4));       // and carries the underline
    e.Type(G("汉") + "a");
    EXPECT_EQ(e.view.ColourAt(4), Mark::Black);
    EXPECT_FALSE(e.view.UnderlinedAt(4));
    EXPECT_TRUE(e.view.UnderlinedAt(3));
}

TEST(CompareAnswer, DeletingAndRetypingNeverCountsTwice) {
    // 汉a字: typing 汉, a, then three times deleting and retyping the a.
    Exam e(G("汉") + "a" + G("字"));
    e.TypeEach(G("汉") + "a");
    for (int i = 0; i < 3; ++i) {
        e.Type(G("汉"));
        e.Type(G("汉") + "a");
    }
    EXPECT_EQ(e.L(Field::CorrectAscii), "1");
    EXPECT_EQ(e.L(Field::Score), "67");
}

TEST(CompareAnswer, DeletingAChineseCharacterAfterASingleByteOneLowersTheCount) {
    Exam e(G("汉") + "a" + G("字词"));
    e.TypeEach(G("汉") + "a" + G("字"));
    EXPECT_EQ(e.state.CorrectHanziCount, 2);
    e.Type(G("汉") + "a");
    EXPECT_EQ(e.state.CorrectHanziCount, 1);
    EXPECT_EQ(e.L(Field::CorrectHanzi), "1");
    // Deleting and retyping at the end can never complete the exam early.
    for (int i = 0; i < 5; ++i) {
        e.Type(G("汉") + "a" + G("字"));
        e.Type(G("汉") + "a");
    }
    EXPECT_FALSE(e.view.disabled);
    EXPECT_EQ(e.state.CorrectHanziCount, 1);
}

TEST(CompareAnswer, DeletingTheWholeAnswerResetsButKeepsTheMarks) {
    Exam e(G("汉字") + "a");
    e.TypeEach(G("汉字") + "a");
    const auto marks = e.view.marks.size();
    e.Type("");
    EXPECT_EQ(e.view.marks.size(), marks);
    EXPECT_EQ(e.L(Field::CorrectHanzi), "0");
    EXPECT_EQ(e.L(Field::Score), "0");
    EXPECT_EQ(e.state.CorrectAsciiCount, 0);
    EXPECT_EQ(e.state.PreviousAnswerText, "");
}

TEST(CompareAnswer, APhraseCommittedInOneChangeJudgesOnlyItsLastCharacter) {
    Exam e(G("你好世界"));
    e.Type(G("你好"));
    EXPECT_EQ(e.view.ColourAt(0), Mark::Black);
    EXPECT_EQ(e.view.ColourAt(2), Mark::Blue);
    EXPECT_EQ(e.state.CorrectHanziCount, 1);
}

TEST(CompareAnswer, ASingleByteInPlaceOfAChineseCharacterShiftsWhatFollows) {
    Exam e(G("汉字词"));
    e.TypeEach("x" + G("字"));
    EXPECT_EQ(e.state.CorrectHanziCount, 0);
    EXPECT_EQ(e.view.ColourAt(1), Mark::Red);
    // A shifted character whose bytes happen to match (愫 is E3 BA: the second
    // byte of 你 and the first of 好) straddles two characters and counts nothing.
    Exam c(G("你好"));
    c.TypeEach("x" + G("愫"));
    EXPECT_EQ(c.state.CorrectHanziCount, 0);
}

TEST(CompareAnswer, DoubleByteCharacterWithALowSecondByteFollowsSingleByteRules) {
    Exam e(G("汉") + "\x81\x40" + G("字"));
    e.Type(G("汉"));
    e.Type(G("汉") + "\x81\x40");
    EXPECT_EQ(e.state.CorrectAsciiCount, 1);
    EXPECT_EQ(e.L(Field::CorrectAscii), "1");
    // Only its second byte in place is not enough: both bytes must match.
    Exam w(G("汉") + "\x81\x40" + G("字"));
    w.Type(G("汉"));
    w.Type(G("汉") + "\x82\x40");
    EXPECT_EQ(w.state.CorrectAsciiCount, 0);
}

TEST(CompareAnswer, LineBreakMarksNothingButRecomputesAndResets) {
    Exam e(G("汉") + "\r\n" + G("字"));
    e.Type(G("汉"));
    const auto marks = e.view.marks.size();
    e.Type(G("汉") + "\r\n");
    EXPECT_EQ(e.view.marks.size(), marks);
    EXPECT_EQ(e.L(Field::CorrectHanzi), "1");
    EXPECT_EQ(e.L(Field::Score), "50");

    Exam f(G("汉字"));
    f.Type("\r\n");
    EXPECT_EQ(f.L(Field::CorrectHanzi), "0");
    EXPECT_TRUE(f.view.marks.empty());
}

TEST(CompareAnswer, PastTheEndOfTheSourceNothingIsMarkedOrCounted) {
    Exam e(G("汉字"));
    e.TypeEach(G("汉") + "a" + G("字字"));
    for (const auto& m : e.view.marks) {
        EXPECT_LT(m.offset, 4);
        EXPECT_GE(m.offset, 0);
    }
    EXPECT_EQ(e.state.CorrectHanziCount, 1);
}

TEST(CompareAnswer, AfterTheLastCharacterNothingIsUnderlined) {
    Exam e(G("汉字") + "ab");
    e.TypeEach(G("汉字") + "ab");
    for (int k = 0; k < 6; ++k) {
        EXPECT_FALSE(e.view.UnderlinedAt(k)) << k;
    }
}

TEST(CompareAnswer, CompletionStopsTheClockAndDisablesTheAnswer) {
    Exam e(G("汉") + "abc");
    e.Type(G("汉"));
    EXPECT_TRUE(e.view.disabled);
    EXPECT_FALSE(e.view.clockOn);

    Exam ascii("abc");
    ascii.Type("x");
    EXPECT_TRUE(ascii.view.disabled);
    EXPECT_EQ(ascii.L(Field::CorrectHanzi), "0");
}

TEST(CompareAnswer, NothingToCountFailsEveryChange) {
    Exam e(" \r\n");
    EXPECT_THROW(e.Type("a"), InvalidOpError);
    EXPECT_EQ(e.L(Field::Score), "");
    EXPECT_EQ(e.state.PreviousAnswerText, ""); // stopped at the score
    EXPECT_THROW(e.Type(""), InvalidOpError);
    EXPECT_EQ(e.L(Field::CorrectHanzi), "0");
    EXPECT_FALSE(e.view.disabled);
}

TEST(CompareAnswer, AClockThatCannotStartStopsTheChangeBeforeAnything) {
    struct NoTimers : RecordingView {
        void SetClockEnabled(bool on) override {
            if (on) {
                throw TimerError();
            }
        }
    };
    ExamState s;
    NoTimers v;
    CountSource(s, G("汉字"));
    EXPECT_THROW(CompareAnswer(s, v, G("汉")), TimerError);
    EXPECT_TRUE(v.marks.empty());
    EXPECT_EQ(s.PreviousAnswerText, "");
    EXPECT_EQ(s.CorrectHanziCount, 0);
}

// Random typing and deleting at the end: the counts never exceed what stands
// correctly in the answer, and the two invariants hold after every change.
TEST(CompareAnswer, CountsNeverExceedWhatStandsInTheAnswer) {
    const std::string source = G("春眠不觉晓，处处闻啼鸟。") + "ab c\r\n" + G("夜来风雨声") + "xyz";
    const std::string wrong = G("薄") + "q";
    std::mt19937 rng(12345);
    for (int run = 0; run < 200; ++run) {
        Exam e(source + G("末"));
        std::string answer;
        for (int step = 0; step < 60 && !e.view.disabled; ++step) {
            const int op = static_cast<int>(rng() % 10);
            if (op < 3 && !answer.empty()) {
                // Delete the last character as the answer box groups them.
                std::size_t i = 0, lastStart = 0;
                while (i < answer.size()) {
                    lastStart = i;
                    const bool dbl =
                        IsLeadByte(static_cast<unsigned char>(answer[i])) && i + 1 < answer.size();
                    i += dbl ? 2u : 1u;
                }
                answer.resize(lastStart);
            } else if (op < 8 && answer.size() < source.size()) {
                const std::size_t len =
                    IsLeadByte(static_cast<unsigned char>(source[answer.size()])) ? 2 : 1;
                answer += source.substr(answer.size(), len);
            } else {
                answer += op == 8 ? wrong.substr(0, 2) : wrong.substr(2, 1);
            }
            e.Type(answer);
            int rightHanzi = 0, rightAscii = 0;
            for (std::size_t k = 0; k < answer.size();) {
                const bool dbl =
                    IsLeadByte(static_cast<unsigned char>(answer[k])) && k + 1 < answer.size();
                const std::size_t len = dbl ? 2 : 1;
                const bool same =
                    k + len <= source.size() && answer.compare(k, len, source, k, len) == 0;
                const auto last = static_cast<unsigned char>(answer[k + len - 1]);
                if (same && IsHighByte(last)) {
                    ++rightHanzi;
                } else if (same && IsSingleByteChar(last)) {
                    ++rightAscii;
                }
                k += len;
            }
            ASSERT_GE(e.state.CorrectHanziCount, 0);
            ASSERT_LE(e.state.CorrectHanziCount, rightHanzi) << run << ":" << step;
            ASSERT_LE(e.state.CorrectAsciiCount, rightAscii) << run << ":" << step;
            if (e.state.CorrectHanziCount == 0) {
                ASSERT_EQ(e.state.CorrectAsciiCount, 0);
            }
            ASSERT_EQ(e.L(Field::CorrectHanzi), std::to_string(e.state.CorrectHanziCount));
        }
    }
}

// Judging a change by what it removes and adds decides exactly as judging the
// whole answer against a copy of the previous one did: the same marks, texts,
// counts, errors and completion, on random sources (some with nothing to
// count, where every change fails) and random edits, in the middle too.
TEST(CompareChange, DecidesAsTheWholeAnswerJudgementDid) {
    const std::vector<std::string> pieces = {G("汉"),    G("字"),    "a",    "b",
                                             " ",        "\r\n",     "\x81", "\x81\x40",
                                             "\xB0\xA1", "\xB1\xA1", "\x7F", "\xFF"};
    std::mt19937 rng(23);
    const auto pick = [&](int most) {
        std::string text;
        for (int i = static_cast<int>(rng() % static_cast<unsigned>(most)); i >= 0; --i) {
            text += pieces[rng() % pieces.size()];
        }
        return text;
    };
    for (int run = 0; run < 300; ++run) {
        const std::string source = run % 10 == 0 ? (run % 20 == 0 ? " \r\n" : "\xB0") : pick(12);
        reference::State old;
        RecordingView oldView;
        ExamState now;
        RecordingView nowView;
        const SourceCounts counts = CountSource(now, source);
        old.SourceText = now.SourceText;
        old.SourceLength = now.SourceLength;
        old.SourceAsciiCount = now.SourceAsciiCount;
        old.SourceHighByteCount = now.SourceHighByteCount;
        oldView.SetFieldText(Field::SourceHanzi, std::to_string(counts.hanzi));
        nowView.SetFieldText(Field::SourceHanzi, std::to_string(counts.hanzi));
        std::string answer;
        for (int step = 0; step < 40; ++step) {
            const auto op = rng() % 10;
            AnswerChange change;
            std::string added;
            if (op < 5) {
                added = pick(3);
            } else if (op < 8) {
                change.removed = rng() % 5;
            } else if (op < 9) {
                change.removed = rng() % 4;
                added = pick(2);
            }
            change.added = added;
            const bool whole = op == 9 || rng() % 2 == 0;
            if (op == 9 && !answer.empty()) {
                answer[rng() % answer.size()] = pieces[rng() % pieces.size()][0]; // in the middle
            } else {
                answer.resize(answer.size() - std::min(change.removed, answer.size()));
                answer += added;
            }
            std::string oldError, nowError;
            try {
                reference::CompareAnswer(old, oldView, answer);
            } catch (const std::exception& error) {
                oldError = typeid(error).name();
            }
            try {
                whole ? CompareAnswer(now, nowView, answer) : CompareChange(now, nowView, change);
            } catch (const std::exception& error) {
                nowError = typeid(error).name();
            }
            const std::string where = std::to_string(run) + ":" + std::to_string(step);
            ASSERT_EQ(nowError, oldError) << where;
            ASSERT_EQ(now.AnswerText, answer) << where;
            ASSERT_EQ(nowView.marks, oldView.marks) << where;
            ASSERT_EQ(nowView.fields, oldView.fields) << where;
            ASSERT_EQ(now.CorrectAsciiCount, old.CorrectAsciiCount) << where;
            ASSERT_EQ(now.CorrectHanziCount, old.CorrectHanziCount) << where;
            ASSERT_EQ(nowView.disabled, oldView.disabled) << where;
            ASSERT_EQ(now.AnswerDisabled, oldView.disabled) << where;
            ASSERT_EQ(nowView.clockSwitches, oldView.clockSwitches) << where;
            ASSERT_EQ(now.PreviousIsAnswer ? now.AnswerText : now.PreviousAnswerText,
                      old.PreviousAnswerText)
                << where;
        }
    }
}

} // namespace
} // namespace qarvel::exam
