#pragma once

#include "ExamState.h"
#include "ExamView.h"
#include "TimeText.h"

#include <cstdint>
#include <functional>

namespace qarvel::exam {

inline constexpr const char* kClockStep = "00:00:01";
inline constexpr int kClockPeriodMs = 1000;

// The clock as the exam window is made: off, its initial times shown.
void SetUpClock(ExamState& state, ExamView& view);
// The duration given at the login (GBK): the remaining time, shown as given.
void SetDuration(ExamState& state, ExamView& view, std::string duration,
                 const TimeLocale& locale = {});

// One tick of the clock: `seconds` seconds off the remaining time and onto the
// elapsed time, as that many one-second ticks would leave them; a tick that
// reaches zero stops the clock, and the seconds after it are not counted.
// Throws ConvertError when the remaining time is not a time.
void ClockTick(ExamState& state, ExamView& view, const TimeLocale& locale = {}, int seconds = 1);
// Pause: answer read-only, clock off.
void PauseExam(ExamState& state, ExamView& view);
// Continue: answer writable, clock on; nothing when no time is left or the exam is complete.
void ContinueExam(ExamState& state, ExamView& view, const TimeLocale& locale = {});

// Milliseconds from a monotonic clock.
using MonotonicClock = std::function<std::int64_t()>;
MonotonicClock SteadyClock();

// Keeps the clock in step with real time. The timer's ticks can come late, or
// not at all while the program is busy; each tick takes every whole second
// that has really passed since the last one it counted, so nothing is lost.
class ClockPacer {
public:
    // A tick this early still counts its second: timers may fire a little early.
    static constexpr std::int64_t kEarlyMs = 25;

    explicit ClockPacer(MonotonicClock now = SteadyClock());

    // The timer has just been switched on: the first second counts from now.
    void Start();
    // At a tick: the whole seconds due since the last counted one, which are
    // then counted. A tick without a Start before it counts one second.
    int Due();
    // Milliseconds since the last counted second ended (negative for an
    // early tick): how far the timer has drifted from the seconds.
    [[nodiscard]] std::int64_t Lag() const;

private:
    MonotonicClock now_;
    std::int64_t counted_ = 0; // when the last counted second ended
    bool started_ = false;
};

} // namespace qarvel::exam
