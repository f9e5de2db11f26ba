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

ExamPhase PhaseOf(bool answerDisabled, bool answerReadOnly, std::string_view remaining,
                  const TimeLocale& locale) {
    if (answerDisabled) {
        return ExamPhase::Complete;
    }
    if (!answerReadOnly) {
        return ExamPhase::Typing;
    }
    try {
        return TimeLeft(remaining, locale) ? ExamPhase::Paused : ExamPhase::TimedOut;
    } catch (const std::exception&) {
        return ExamPhase::Paused;
    }
}

} // namespace qarvel::exam
