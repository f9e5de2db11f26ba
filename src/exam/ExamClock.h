#pragma once

#include "ExamView.h"
#include "TimeText.h"

namespace qarvel::exam {

inline constexpr const char* kInitialRemaining = "00:30:00";
inline constexpr const char* kInitialElapsed = "00:00:00";
inline constexpr const char* kClockStep = "00:00:01";
inline constexpr int kClockPeriodMs = 1000;

// One tick of the clock: a second off Label14, a second onto Label21; stops at zero.
void Timer1Timer(ExamView& view, const TimeLocale& locale = {});
// Pause: answer read-only, clock off.
void Pap1Click(ExamView& view);
// Continue: answer writable, clock on; nothing when no time is left or the exam is complete.
void Pap2Click(ExamView& view, const TimeLocale& locale = {});

} // namespace qarvel::exam
