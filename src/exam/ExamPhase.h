#pragma once

#include "ExamState.h"
#include "TimeText.h"

#include <string_view>

namespace qarvel::exam {

// Where the exam stands: the examinee types, has paused, has no time left, or
// has typed the whole source. Everything that shows or records the exam's
// state asks PhaseOf; the clock asks TimeLeft.
enum class ExamPhase { Typing, Paused, TimedOut, Complete };

// Whether the remaining time `remaining` (a clock text, GBK) leaves any time:
// it reads above zero. Throws ConvertError for a text that is not a time.
bool TimeLeft(std::string_view remaining, const TimeLocale& locale = {});

// Whether the remaining time `remaining` (a fraction of a day, as the clock
// counts it down) leaves any time once written on the clock: a remnant below
// a second is written as zero and leaves none.
bool TimeLeft(TimeValue remaining, const TimeLocale& locale = {});

// Whether the clock's remaining time leaves any time. Throws ConvertError
// for a text that is not a time.
bool TimeLeft(const ClockTime& remaining, const TimeLocale& locale = {});

// The phase of the exam: a disabled answer is complete; a read-only one has
// timed out when no time is left, else it is paused (also when the remaining
// time is not a time); a writable one is typing.
ExamPhase PhaseOf(const ExamState& state, const TimeLocale& locale = {});

} // namespace qarvel::exam
