#pragma once

#include "TimeText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qarvel::exam {

inline constexpr const char* kInitialRemaining = "00:30:00";
inline constexpr const char* kInitialElapsed = "00:00:00";

// One of the clock's two times: the text it shows and the time that text
// reads as. A remaining time is shown as given (the duration typed at the
// login) until the clock first ticks, "hh:nn:ss" from then on; a text that
// is not a time has no value.
struct ClockTime {
    std::string text; // GBK
    TimeValue value = 0;
    bool isTime = true;

    // `text` and what it reads as under `locale`.
    static ClockTime Of(std::string text, const TimeLocale& locale = {});
};

// The one record of the exam, owned by the exam window for the life of the process.
// Texts are GBK byte strings; counts are 32-bit signed, as they are shown.
struct ExamState {
    std::string SourceText;
    std::int32_t SourceLength = 0;
    std::int32_t SourceAsciiCount = 0;
    std::int32_t SourceHighByteCount = 0;

    std::string AnswerText;
    std::int32_t AnswerLength = 0;
    // The answer as the previous change left it, kept apart only after a change
    // that failed half-way (PreviousIsAnswer false); else it is AnswerText.
    std::string PreviousAnswerText;
    bool PreviousIsAnswer = true;
    // For the source and the answer, byte by byte: whether a run of lead
    // bytes ends there with an odd length, so that the next byte completes a
    // double-byte character. Kept as the texts change, so that judging a
    // change costs what the change is, not what the answer is.
    std::vector<bool> SourcePairs;
    std::vector<bool> AnswerPairs;

    std::int32_t CorrectAsciiCount = 0;
    std::int32_t CorrectHanziCount = 0;
    std::int32_t TotalCorrect = 0;
    std::int32_t TotalSourceChars = 0;
    // The score as last shown (0 before it is first shown).
    std::int64_t Score = 0;
    // Whether the correct Chinese count has been shown yet: it is blank until
    // the first change of the answer.
    bool CorrectHanziShown = false;

    // The clock: the time left, counted down, and the time taken, counted up.
    ClockTime Remaining = ClockTime::Of(kInitialRemaining);
    ClockTime Elapsed = ClockTime::Of(kInitialElapsed);

    // The answer box: read-only while paused or when time is up; disabled
    // once the exam is complete.
    bool AnswerReadOnly = false;
    bool AnswerDisabled = false;
};

} // namespace qarvel::exam
