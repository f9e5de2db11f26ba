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

// A window whose clock runs with the given remaining and elapsed texts.
RecordingView Running(const std::string& remaining, const std::string& elapsed = "00:00:00") {
    RecordingView view;
    view.fields[Field::RemainingTime] = remaining;
    view.fields[Field::ElapsedTime] = elapsed;
    view.clockOn = true;
    return view;
}

TEST(ExamClock, ThreeTicksRunDownToZeroAndStop) {
    RecordingView view = Running("00:00:03", "00:07:58");
    ClockTick(view);
    ClockTick(view);
    EXPECT_EQ(view.fields[Field::RemainingTime], "00:00:01");
    EXPECT_TRUE(view.clockOn);
    EXPECT_FALSE(view.readOnly);

    ClockTick(view);
    EXPECT_EQ(view.fields[Field::RemainingTime], "00:00:00");
    EXPECT_EQ(view.fields[Field::ElapsedTime], "00:08:01");
    EXPECT_TRUE(view.readOnly);
    EXPECT_FALSE(view.clockOn);
}

TEST(ExamClock, TicksWriteTheFullFormat) {
    RecordingView view = Running("1:5", "23:59:59");
    ClockTick(view);
    EXPECT_EQ(view.fields[Field::RemainingTime], "01:04:59");
    EXPECT_EQ(view.fields[Field::ElapsedTime], "00:00:00"); // a whole day wraps
    EXPECT_TRUE(view.clockOn);
    ClockTick(view);
    EXPECT_EQ(view.fields[Field::ElapsedTime], "00:00:01");
}

TEST(ExamClock, PauseThenContinueKeepsTheTimes) {
    RecordingView view = Running("00:10:00");
    ClockTick(view);
    PauseExam(view);
    EXPECT_TRUE(view.readOnly);
    EXPECT_FALSE(view.clockOn);

    ContinueExam(view);
    EXPECT_FALSE(view.readOnly);
    EXPECT_TRUE(view.clockOn);
    EXPECT_EQ(view.fields[Field::RemainingTime], "00:09:59");
    EXPECT_EQ(view.fields[Field::ElapsedTime], "00:00:01");
}

TEST(ExamClock, PauseActsInEveryState) {
    RecordingView fresh;
    PauseExam(fresh);
    EXPECT_TRUE(fresh.readOnly);
    EXPECT_FALSE(fresh.clockOn);

    RecordingView done = Running("00:00:00");
    done.disabled = true;
    PauseExam(done);
    EXPECT_TRUE(done.readOnly);
    EXPECT_FALSE(done.clockOn);
}

// Continue does nothing while no time is left, however zero is written.
TEST(ExamClock, ContinueNeedsTimeLeft) {
    for (const std::string text : {"00:00:00", "0:00:00", " 0 ", "12:00:00 AM"}) {
        RecordingView view;
        view.fields[Field::RemainingTime] = text;
        view.readOnly = true;
        ContinueExam(view);
        EXPECT_TRUE(view.readOnly) << text;
        EXPECT_EQ(view.clockSwitches, 0) << text;
    }
    RecordingView oneSecond;
    oneSecond.fields[Field::RemainingTime] = "0:00:01";
    oneSecond.readOnly = true;
    ContinueExam(oneSecond);
    EXPECT_FALSE(oneSecond.readOnly);
    EXPECT_TRUE(oneSecond.clockOn);
}

// A completed exam keeps its times: continue does not start the clock again.
TEST(ExamClock, ContinueDoesNothingOnceComplete) {
    RecordingView view;
    view.fields[Field::RemainingTime] = "00:12:34";
    view.disabled = true;
    ContinueExam(view);
    EXPECT_FALSE(view.clockOn);
    EXPECT_EQ(view.clockSwitches, 0);
}

// Time that has run out never turns into time left: a tick at or below zero
// writes zero and stops again, while the elapsed time still counts the second.
TEST(ExamClock, TickNeverGoesBelowZero) {
    for (const std::string text : {"00:00:00", "0:00:00", "0:00:00.999", "00:00:01.400"}) {
        RecordingView view = Running(text, "00:01:00");
        ClockTick(view);
        EXPECT_EQ(view.fields[Field::RemainingTime], "00:00:00") << text;
        EXPECT_EQ(view.fields[Field::ElapsedTime], "00:01:01") << text;
        EXPECT_TRUE(view.readOnly) << text;
        EXPECT_FALSE(view.clockOn) << text;
    }
}

TEST(ExamClock, LocaleSeparatorsAndWords) {
    // 上午 and 下午 in GBK.
    const TimeLocale zh{".", ",", "\xC9\xCF\xCE\xE7", "\xCF\xC2\xCE\xE7"};
    RecordingView view = Running("00.00.02", "\xCF\xC2\xCE\xE7"
                                             "11.59.59");
    ClockTick(view, zh);
    EXPECT_EQ(view.fields[Field::RemainingTime], "00.00.01");
    EXPECT_EQ(view.fields[Field::ElapsedTime], "00.00.00");
    ClockTick(view, zh);
    EXPECT_EQ(view.fields[Field::RemainingTime], "00.00.00");
    EXPECT_FALSE(view.clockOn);
    EXPECT_TRUE(view.readOnly);

    ContinueExam(view, zh);
    EXPECT_TRUE(view.readOnly);
    view.fields[Field::RemainingTime] = "\xC9\xCF\xCE\xE7"
                                        "12.00.05";
    ContinueExam(view, zh);
    EXPECT_FALSE(view.readOnly);
    EXPECT_TRUE(view.clockOn);
}

TEST(ExamClock, UnreadableLabelsRaiseTheConversionError) {
    RecordingView badRemaining = Running("abc", "00:00:05");
    EXPECT_THROW(ClockTick(badRemaining), ConvertError);
    EXPECT_EQ(badRemaining.fields[Field::ElapsedTime], "00:00:05");

    // The remaining time is already written when the elapsed time fails.
    RecordingView badElapsed = Running("00:00:05", "");
    EXPECT_THROW(ClockTick(badElapsed), ConvertError);
    EXPECT_EQ(badElapsed.fields[Field::RemainingTime], "00:00:04");

    RecordingView paused;
    paused.fields[Field::RemainingTime] = "24:00:00";
    paused.readOnly = true;
    EXPECT_THROW(ContinueExam(paused), ConvertError);
    EXPECT_TRUE(paused.readOnly);
    EXPECT_FALSE(paused.clockOn);
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
        RecordingView one = Running(remaining, elapsed);
        RecordingView many = Running(remaining, elapsed);
        for (int i = 0; i < seconds && one.clockOn; ++i) {
            ClockTick(one);
        }
        ClockTick(many, {}, seconds);
        ASSERT_EQ(many.fields, one.fields) << remaining << " " << elapsed << " +" << seconds;
        ASSERT_EQ(many.clockOn, one.clockOn);
        ASSERT_EQ(many.readOnly, one.readOnly);
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
