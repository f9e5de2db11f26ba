#include "ExamPhase.h"

#include <exception>

namespace qarvel::exam {

bool TimeLeft(std::string_view remaining, const TimeLocale& locale) {
    return ParseTimeText(remaining, locale) > 0;
}

bool TimeLeft(TimeValue remaining, const TimeLocale& locale) {
    // Written without sign and whole days, and only to the second: what the
    // clock would show must not read zero.
    return remaining > 0 && FormatTimeText(remaining, locale) != FormatTimeText(0, locale);
}

bool TimeLeft(const ClockTime& remaining, const TimeLocale& locale) {
    return remaining.isTime ? remaining.value > 0 : TimeLeft(remaining.text, locale);
}

ExamPhase PhaseOf(const ExamState& state, const TimeLocale& locale) {
    if (state.AnswerDisabled) {
        return ExamPhase::Complete;
    }
    if (!state.AnswerReadOnly) {
        return ExamPhase::Typing;
    }
    try {
        return TimeLeft(state.Remaining, locale) ? ExamPhase::Paused : ExamPhase::TimedOut;
    } catch (const std::exception&) {
        return ExamPhase::Paused;
    }
}

} // namespace qarvel::exam
