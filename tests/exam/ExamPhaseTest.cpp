#include "exam/ExamPhase.h"

#include "exam/Errors.h"

#include <gtest/gtest.h>
#include <string>

namespace qarvel::exam {
namespace {

// The phase of an exam whose answer box and remaining time are as given.
ExamPhase Phase(bool disabled, bool readOnly, const std::string& remaining,
                const TimeLocale& locale = {}) {
    ExamState state;
    state.AnswerDisabled = disabled;
    state.AnswerReadOnly = readOnly;
    state.Remaining = ClockTime::Of(remaining, locale);
    return PhaseOf(state, locale);
}

struct PhaseCase {
    bool disabled;
    bool readOnly;
    const char* remaining;
    ExamPhase phase;
};

class PhaseTable : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(PhaseTable, FromTheAnswerBoxAndTheClock) {
    const PhaseCase& c = GetParam();
    EXPECT_EQ(Phase(c.disabled, c.readOnly, c.remaining), c.phase)
        << "disabled " << c.disabled << ", read-only " << c.readOnly << ", remaining \""
        << c.remaining << '"';
}

INSTANTIATE_TEST_SUITE_P(
    ExamPhase, PhaseTable,
    ::testing::Values(
        // A completed exam stays complete, whatever else the window shows.
        PhaseCase{true, false, "00:12:00", ExamPhase::Complete},
        PhaseCase{true, true, "00:00:00", ExamPhase::Complete},
        PhaseCase{true, true, "not a time", ExamPhase::Complete},
        // A writable answer is typing, even with the clock at zero (it has not ticked yet).
        PhaseCase{false, false, "00:30:00", ExamPhase::Typing},
        PhaseCase{false, false, "00:00:00", ExamPhase::Typing},
        // Read-only: paused while time is left, timed out at zero however zero is written.
        PhaseCase{false, true, "00:00:01", ExamPhase::Paused},
        PhaseCase{false, true, "1:5", ExamPhase::Paused},
        PhaseCase{false, true, "00:00:00", ExamPhase::TimedOut},
        PhaseCase{false, true, "0:0:0", ExamPhase::TimedOut},
        PhaseCase{false, true, "0", ExamPhase::TimedOut},
        // A remaining time that cannot be read is taken for time left.
        PhaseCase{false, true, "", ExamPhase::Paused},
        PhaseCase{false, true, "99:00:00", ExamPhase::Paused}),
    [](const ::testing::TestParamInfo<PhaseCase>& row) {
        return "Case" + std::to_string(row.index);
    });

TEST(ExamPhase, ZeroInTheLocalesOwnWritingIsNoTimeLeft) {
    TimeLocale dots;
    dots.timeSeparator = ".";
    dots.decimalSeparator = ",";
    const std::string zero = FormatTimeText(0, dots);
    EXPECT_EQ(zero, "00.00.00");
    EXPECT_EQ(Phase(false, true, zero, dots), ExamPhase::TimedOut);
    EXPECT_EQ(Phase(false, true, "00.00.01", dots), ExamPhase::Paused);
}

TEST(ExamPhase, TextsThatAreNoTimeThrowWhenAskedDirectly) {
    EXPECT_THROW(TimeLeft(std::string("25:00:00")), ConvertError);
    EXPECT_TRUE(TimeLeft(std::string("23:59:59")));
    EXPECT_FALSE(TimeLeft(std::string("00:00:00.000")));
}

// The clock's own question: what it would write must read above zero.
TEST(ExamPhase, ACountedDownValueLeavesTimeOnlyWhenItShowsAWholeSecond) {
    constexpr double kSecond = 1.0 / 86400;
    const struct {
        double value;
        bool left;
    } cases[] = {
        {0, false},           {-kSecond, false},        {kSecond * 0.4, false},
        {kSecond, true},      {kSecond * 1799.9, true}, {1e-18, false},
        {kSecond * 59, true}, {-kSecond * 3600, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeLeft(c.value), c.left) << c.value / kSecond << " s";
        // The clock's answer agrees with the one about its own writing.
        if (c.value > 0) {
            EXPECT_EQ(TimeLeft(c.value), TimeLeft(FormatTimeText(c.value))) << c.value / kSecond;
        }
    }
}

} // namespace
} // namespace qarvel::exam
