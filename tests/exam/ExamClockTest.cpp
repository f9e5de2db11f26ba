#include "exam/ExamClock.h"

#include "RecordingView.h"
#include "exam/Errors.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace qarvel::exam {
namespace {

using testing::RecordingView;

// The exam's clock and the window it shows in.
struct Clock {
    ExamState state;
    RecordingView view;
};

// A clock that runs with the given remaining and elapsed times.
Clock Running(const std::string& remaining, const std::string& elapsed = "00:00:00",
              const TimeLocale& locale = {}) {
    Clock clock;
    clock.state.Remaining = ClockTime::Of(remaining, locale);
    clock.state.Elapsed = ClockTime::Of(elapsed, locale);
    clock.view.clockOn = true;
    return clock;
}

TEST(ExamClock, ThreeTicksRunDownToZeroAndStop) {
    Clock clock = Running("00:00:03", "00:07:58");
    ClockTick(clock.state, clock.view);
    ClockTick(clock.state, clock.view);
    EXPECT_EQ(clock.view.fields[Field::RemainingTime], "00:00:01");
    EXPECT_TRUE(clock.view.clockOn);
    EXPECT_FALSE(clock.view.readOnly);

    ClockTick(clock.state, clock.view);
    EXPECT_EQ(clock.view.fields[Field::RemainingTime], "00:00:00");
    EXPECT_EQ(clock.view.fields[Field::ElapsedTime], "00:08:01");
    EXPECT_TRUE(clock.view.readOnly);
    EXPECT_FALSE(clock.view.clockOn);
}

TEST(ExamClock, TicksWriteTheFullFormat) {
    Clock clock = Running("1:5", "23:59:59");
    ClockTick(clock.state, clock.view);
    EXPECT_EQ(clock.view.fields[Field::RemainingTime], "01:04:59");
    EXPECT_EQ(clock.view.fields[Field::ElapsedTime], "00:00:00"); // a whole day wraps
    EXPECT_TRUE(clock.view.clockOn);
    ClockTick(clock.state, clock.view);
    EXPECT_EQ(clock.view.fields[Field::ElapsedTime], "00:00:01");
}

TEST(ExamClock, PauseThenContinueKeepsTheTimes) {
    Clock clock = Running("00:10:00");
    ClockTick(clock.state, clock.view);
    PauseExam(clock.state, clock.view);
    EXPECT_TRUE(clock.view.readOnly);
    EXPECT_FALSE(clock.view.clockOn);

    ContinueExam(clock.state, clock.view);
    EXPECT_FALSE(clock.view.readOnly);
    EXPECT_TRUE(clock.view.clockOn);
    EXPECT_EQ(clock.view.fields[Field::RemainingTime], "00:09:59");
    EXPECT_EQ(clock.view.fields[Field::ElapsedTime], "00:00:01");
}

TEST(ExamClock, PauseActsInEveryState) {
    Clock fresh;
    PauseExam(fresh.state, fresh.view);
    EXPECT_TRUE(fresh.view.readOnly);
    EXPECT_FALSE(fresh.view.clockOn);

    Clock done = Running("00:00:00");
    done.state.AnswerDisabled = true;
    PauseExam(done.state, done.view);
    EXPECT_TRUE(done.view.readOnly);
    EXPECT_FALSE(done.view.clockOn);
}

// Continue does nothing while no time is left, however zero is written.
TEST(ExamClock, ContinueNeedsTimeLeft) {
    for (const std::string text : {"00:00:00", "0:00:00", " 0 ", "12:00:00 AM"}) {
        Clock clock;
        clock.state.Remaining = ClockTime::Of(text);
        clock.state.AnswerReadOnly = true;
        ContinueExam(clock.state, clock.view);
        EXPECT_TRUE(clock.state.AnswerReadOnly) << text;
        EXPECT_EQ(clock.view.clockSwitches, 0) << text;
    }
    Clock oneSecond;
    oneSecond.state.Remaining = ClockTime::Of("0:00:01");
    oneSecond.state.AnswerReadOnly = true;
    ContinueExam(oneSecond.state, oneSecond.view);
    EXPECT_FALSE(oneSecond.state.AnswerReadOnly);
    EXPECT_FALSE(oneSecond.view.readOnly);
    EXPECT_TRUE(oneSecond.view.clockOn);
}

// A completed exam keeps its times: continue does not start the clock again.
TEST(ExamClock, ContinueDoesNothingOnceComplete) {
    Clock clock;
    clock.state.Remaining = ClockTime::Of("00:12:34");
    clock.state.AnswerDisabled = true;
    ContinueExam(clock.state, clock.view);
    EXPECT_FALSE(clock.view.clockOn);
    EXPECT_EQ(clock.view.clockSwitches, 0);
}

// Time that has run out never turns into time left: a tick at or below zero
// writes zero and stops again, while the elapsed time still counts the second.
TEST(ExamClock, TickNeverGoesBelowZero) {
    for (const std::string text : {"00:00:00", "0:00:00", "0:00:00.999", "00:00:01.400"}) {
        Clock clock = Running(text, "00:01:00");
        ClockTick(clock.state, clock.view);
        EXPECT_EQ(clock.view.fields[Field::RemainingTime], "00:00:00") << text;
        EXPECT_EQ(clock.view.fields[Field::ElapsedTime], "00:01:01") << text;
        EXPECT_TRUE(clock.view.readOnly) << text;
        EXPECT_FALSE(clock.view.clockOn) << text;
    }
}

TEST(ExamClock, LocaleSeparatorsAndWords) {
    // 上午 and 下午 in GBK.
    const TimeLocale zh{".", ",", "\xC9\xCF\xCE\xE7", "\xCF\xC2\xCE\xE7"};
    Clock clock = Running("00.00.02",
                          "\xCF\xC2\xCE\xE7"
                          "11.59.59",
                          zh);
    ClockTick(clock.state, clock.view, zh);
    EXPECT_EQ(clock.view.fields[Field::RemainingTime], "00.00.01");
    EXPECT_EQ(clock.view.fields[Field::ElapsedTime], "00.00.00");
    ClockTick(clock.state, clock.view, zh);
    EXPECT_EQ(clock.view.fields[Field::RemainingTime], "00.00.00");
    EXPECT_FALSE(clock.view.clockOn);
    EXPECT_TRUE(clock.view.readOnly);

    ContinueExam(clock.state, clock.view, zh);
    EXPECT_TRUE(clock.view.readOnly);
    clock.state.Remaining = ClockTime::Of("\xC9\xCF\xCE\xE7"
                                          "12.00.05",
                                          zh);
    ContinueExam(clock.state, clock.view, zh);
    EXPECT_FALSE(clock.view.readOnly);
    EXPECT_TRUE(clock.view.clockOn);
}

TEST(ExamClock, TimesThatAreNoTimeRaiseTheConversionError) {
    Clock badRemaining = Running("abc", "00:00:05");
    EXPECT_THROW(ClockTick(badRemaining.state, badRemaining.view), ConvertError);
    EXPECT_EQ(badRemaining.state.Elapsed.text, "00:00:05");
    EXPECT_TRUE(badRemaining.view.fields.empty());

    // The remaining time is already written when the elapsed time fails.
    Clock badElapsed = Running("00:00:05", "");
    EXPECT_THROW(ClockTick(badElapsed.state, badElapsed.view), ConvertError);
    EXPECT_EQ(badElapsed.view.fields[Field::RemainingTime], "00:00:04");

    Clock paused;
    paused.state.Remaining = ClockTime::Of("24:00:00");
    paused.state.AnswerReadOnly = true;
    EXPECT_THROW(ContinueExam(paused.state, paused.view), ConvertError);
    EXPECT_TRUE(paused.state.AnswerReadOnly);
    EXPECT_FALSE(paused.view.clockOn);
}

// Several seconds in one tick leave the labels and the clock as that many
// one-second ticks do, time-up included.
TEST(ExamClock, ManySecondsInOneTickEqualAsManyTicks) {
    std::mt19937 random(12);
    for (int round = 0; round < 300; ++round) {
        const int remainingSeconds = static_cast<int>(random() % 40);
        const int seconds = 1 + static_cast<int>(random() % 45);
        const std::string remaining =
            FormatTimeText(remainingSeconds / 86400.0) + (random() % 3 == 0 ? ".600" : "");
        const std::string elapsed = FormatTimeText(static_cast<double>(random() % 86400) / 86400.0);
        Clock one = Running(remaining, elapsed);
        Clock many = Running(remaining, elapsed);
        for (int i = 0; i < seconds && one.view.clockOn; ++i) {
            ClockTick(one.state, one.view);
        }
        ClockTick(many.state, many.view, {}, seconds);
        ASSERT_EQ(many.view.fields, one.view.fields)
            << remaining << " " << elapsed << " +" << seconds;
        ASSERT_EQ(many.view.clockOn, one.view.clockOn);
        ASSERT_EQ(many.view.readOnly, one.view.readOnly);
    }
}

// The pacer counts the whole seconds really passed: late and lost ticks are
// made up at the next tick, a slightly early tick counts, and the seconds are
// counted from the start, not from the ticks.
TEST(ExamClock, PacerCountsRealSeconds) {
    struct Case {
        const char* what;
        std::vector<std::int64_t> ticks; // ms after the start
        std::vector<int> due;
    };
    const std::vector<Case> cases = {
        {"on time", {1000, 2000, 3000}, {1, 1, 1}},
        {"a little early or late", {990, 2010, 2995, 4020}, {1, 1, 1, 1}},
        {"late by half a second", {1500, 2000, 3000}, {1, 1, 1}},
        {"busy for four seconds", {4700, 5000, 6000}, {4, 1, 1}},
        {"a merged tick", {1000, 3000}, {1, 2}},
        {"too early to count", {500, 1000, 1600, 2000}, {0, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        std::int64_t now = 5000;
        ClockPacer pacer([&now] { return now; });
        pacer.Start();
        std::vector<int> due;
        for (const std::int64_t t : c.ticks) {
            now = 5000 + t;
            due.push_back(pacer.Due());
        }
        EXPECT_EQ(due, c.due) << c.what;
    }

    // A restart (continue after a pause) counts from the restart.
    std::int64_t now = 0;
    ClockPacer pacer([&now] { return now; });
    pacer.Start();
    now = 1700;
    pacer.Start();
    now = 2600;
    EXPECT_EQ(pacer.Due(), 0);
    now = 2700;
    EXPECT_EQ(pacer.Due(), 1);
    EXPECT_EQ(pacer.Lag(), 0);
    now = 4200;
    EXPECT_EQ(pacer.Due(), 1);
    EXPECT_EQ(pacer.Lag(), 500);
}

} // namespace
} // namespace qarvel::exam
