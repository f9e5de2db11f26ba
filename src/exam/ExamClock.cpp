#include "ExamClock.h"

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

void StopClock(ExamView& view) {
    view.SetAnswerReadOnly(true);
    view.SetClockEnabled(false);
}

} // namespace

void ClockTick(ExamView& view, const TimeLocale& locale, int seconds) {
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
    const long double start = Parsed(view.FieldText(Field::RemainingTime), locale);
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
    view.SetFieldText(Field::RemainingTime,
                      timeUp ? FormatTimeText(0, locale)
                             : FormatTimeText(static_cast<TimeValue>(remaining), locale));

    // Elapsed time: as many seconds more, wrapping to zero after a whole day.
    const long double elapsed =
        Parsed(view.FieldText(Field::ElapsedTime), locale) + static_cast<long double>(ticks) * step;
    view.SetFieldText(Field::ElapsedTime, FormatTimeText(static_cast<TimeValue>(elapsed), locale));

    if (timeUp) {
        StopClock(view);
    }
}

void PauseExam(ExamView& view) {
    StopClock(view);
}

void ContinueExam(ExamView& view, const TimeLocale& locale) {
    // The times on screen of a completed exam are part of its result.
    if (view.AnswerDisabled()) {
        return;
    }
    // No time left, however the remaining time is written.
    if (!TimeLeft(view.FieldText(Field::RemainingTime), locale)) {
        return;
    }
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
