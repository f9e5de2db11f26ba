#pragma once

#include "ExamState.h"
#include "ExamView.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qarvel::exam {

// One change of the answer: its last `removed` bytes go (all of it at most),
// then `added` (GBK) comes at its end.
struct AnswerChange {
    std::size_t removed = 0;
    std::string_view added;
};

// Judges one change of the answer against the source: marks, counts, score,
// resets and completion, through `view`. Its cost grows with the change, not
// with the answer. Throws ZeroDivideError / InvalidOpError when the source has
// nothing to count, TimerError when the clock cannot be switched on.
void CompareChange(ExamState& state, ExamView& view, AnswerChange change);

// The change that makes the state's answer `answer`.
AnswerChange ChangeTo(const ExamState& state, std::string_view answer);

// Judges the change that makes the answer `answer` (GBK, line breaks CR LF).
void CompareAnswer(ExamState& state, ExamView& view, std::string_view answer);

// The completion test: as many Chinese characters typed right as the source
// has, by the counts the window shows.
bool AllHanziTyped(const ExamState& state);

// The score of `correct` out of `total` in percent, in extended precision,
// rounded half to even. Throws ZeroDivideError or InvalidOpError for total 0.
std::int64_t Score(std::int32_t correct, std::int32_t total);

} // namespace qarvel::exam
