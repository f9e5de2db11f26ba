#pragma once

#include "ExamState.h"
#include "ExamView.h"

#include <cstdint>
#include <string>

namespace qarvel::exam {

// Judges one change of the answer (GBK, line breaks CR LF) against the source:
// marks, counts, score, resets and completion, through `view`.
// Throws ZeroDivideError / InvalidOpError when the source has nothing to count,
// TimerError when the clock cannot be switched on.
void CompareAnswer(ExamState& state, ExamView& view, const std::string& answer);

// The completion test: as many Chinese characters typed right as the source
// has, by the counts the window shows.
bool AllHanziTyped(const ExamState& state);

// The score of `correct` out of `total` in percent, in extended precision,
// rounded half to even. Throws ZeroDivideError or InvalidOpError for total 0.
std::int64_t Score(std::int32_t correct, std::int32_t total);

} // namespace qarvel::exam
