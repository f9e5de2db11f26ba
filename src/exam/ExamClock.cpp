#include "ExamClock.h"

#include <string>
#include <string_view>

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

void Timer1Timer(ExamView& view, const TimeLocale& locale) {
    const long double step = ClockStep();

    // Remaining time: a second less. Time that has run out stays at zero; it is
    // never written as a positive time again.
    const long double remaining = Parsed(view.LabelText(Label::Label14), locale) - step;
    const std::string zero = FormatTimeText(0, locale);
    std::string remainingText = FormatTimeText(static_cast<TimeValue>(remaining), locale);
    const bool timeUp = !(remaining > 0) || remainingText == zero;
    if (timeUp) {
        remainingText = zero;
    }
    view.SetLabelText(Label::Label14, remainingText);

    // Elapsed time: a second more, wrapping to zero after a whole day.
    const long double elapsed = Parsed(view.LabelText(Label::Label21), locale) + step;
    view.SetLabelText(Label::Label21, FormatTimeText(static_cast<TimeValue>(elapsed), locale));

    if (timeUp) {
        StopClock(view);
    }
}

void Pap1Click(ExamView& view) {
    StopClock(view);
}

void Pap2Click(ExamView& view, const TimeLocale& locale) {
    // The times on screen of a completed exam are part of its result.
    if (view.AnswerDisabled()) {
        return;
    }
    // No time left, however the remaining time is written.
    if (!(Parsed(view.LabelText(Label::Label14), locale) > 0)) {
        return;
    }
    view.SetAnswerReadOnly(false);
    view.SetClockEnabled(true);
}

} // namespace qarvel::exam
