#include "ExamClock.h"

#include "Errors.h"
#include "ExamPhase.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace qarvel::exam {
namespace {

// Time arithmetic runs in extended precision.
long double Parsed(std::string_view text, const TimeLocale& locale = {}) {
    return static_cast<long double>(ParseTimeText(text, locale));
}

// The step is a fixed text written with ":", whatever the user's locale says.
long double ClockStep() {
    return Parsed(kClockStep);
}

// A time's value; a text that is not a time raises the conversion error,
// unless the locale now reads it.
long double ValueOf(const ClockTime& time, const TimeLocale& locale) {
    return time.isTime ? static_cast<long double>(time.value) : Parsed(time.text, locale);
}

// `time` set to `value` as the clock writes it, and shown in `field`.
void Show(ClockTime& time, TimeValue value, ExamView& view, Field field, const TimeLocale& locale) {
    time.text = FormatTimeText(value, locale);
    time.value = ShownTime(value);
    time.isTime = true;
    view.SetFieldText(field, time.text);
}

void StopClock(ExamState& state, ExamView& view) {
    state.AnswerReadOnly = true;
    view.SetAnswerReadOnly(true);
    view.SetClockEnabled(false);
}

} // namespace

ClockTime ClockTime::Of(std::string text, const TimeLocale& locale) {
    ClockTime time{std::move(text), 0, false};
    try {
        time.value = ParseTimeText(time.text, locale);
        time.isTime = true;
    } catch (const ConvertError&) {
    }
    return time;
}

void SetUpClock(ExamState& state, ExamView& view) {
    view.SetClockEnabled(false);
    state.Remaining = ClockTime::Of(kInitialRemaining);
    state.Elapsed = ClockTime::Of(kInitialElapsed);
    view.SetFieldText(Field::RemainingTime, state.Remaining.text);
    view.SetFieldText(Field::ElapsedTime, state.Elapsed.text);
}

void SetDuration(ExamState& state, ExamView& view, std::string duration, const TimeLocale& locale) {
    state.Remaining = ClockTime::Of(std::move(duration), locale);
    view.SetFieldText(Field::RemainingTime, state.Remaining.text);
}

void ClockTick(ExamState& state, ExamView& view, const TimeLocale& locale, int seconds) {
    if (seconds < 1) {
        return;
    }
    const long double step = ClockStep();
    // Time that has run out stays at zero; it is never written as a positive
    // time again.
    const auto runsOut = [&](long double remaining) {
        return !TimeLeft(static_cast<TimeValue>(remaining), locale);
    };

    // Remaining time: the seconds off, one tick at a time, so a tick that
    // reaches zero ends the count; once out, later ticks stay out.
    const long double start = ValueOf(state.Remaining, locale);
    int ticks = seconds;
    if (runsOut(start - static_cast<long double>(seconds) * step)) {
        int low = 1;
        while (low < ticks) {
            const int mid = low + (ticks - low) / 2;
            if (runsOut(start - static_cast<long double>(mid) * step)) {
                ticks = mid;
            } else {
                low = mid + 1;
            }
        }
    }
    const long double remaining = start - static_cast<long double>(ticks) * step;
    const bool timeUp = runsOut(remaining);
    Show(state.Remaining, timeUp ? 0 : static_cast<TimeValue>(remaining), view,
         Field::RemainingTime, locale);

    // Elapsed time: as many seconds more, wrapping to zero after a whole day.
    const long double elapsed =
        ValueOf(state.Elapsed, locale) + static_cast<long double>(ticks) * step;
    Show(state.Elapsed, static_cast<TimeValue>(elapsed), view, Field::ElapsedTime, locale);

    if (timeUp) {
        StopClock(state, view);
    }
}

void PauseExam(ExamState& state, ExamView& view) {
    StopClock(state, view);
}

void ContinueExam(ExamState& state, ExamView& view, const TimeLocale& locale) {
    // The times on screen of a completed exam are part of its result.
    if (state.AnswerDisabled) {
        return;
    }
    // No time left, however the remaining time is written.
    if (!TimeLeft(state.Remaining, locale)) {
        return;
    }
    state.AnswerReadOnly = false;
    view.SetAnswerReadOnly(false);
    view.SetClockEnabled(true);
}

MonotonicClock SteadyClock() {
    return [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

ClockPacer::ClockPacer(MonotonicClock now) : now_(std::move(now)) {}

void ClockPacer::Start() {
    counted_ = now_();
    started_ = true;
}

int ClockPacer::Due() {
    if (!started_) {
        Start();
        return 1;
    }
    const std::int64_t passed = now_() - counted_ + kEarlyMs;
    if (passed < kClockPeriodMs) {
        return 0;
    }
    const std::int64_t seconds = passed / kClockPeriodMs;
    counted_ += seconds * kClockPeriodMs;
    return seconds > INT32_MAX ? INT32_MAX : static_cast<int>(seconds);
}

std::int64_t ClockPacer::Lag() const {
    return started_ ? now_() - counted_ : 0;
}

} // namespace qarvel::exam
