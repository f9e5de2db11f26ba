#pragma once

#include "EventLog.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qarvel::exam {

// Speed, accuracy and time to completion of one exam, read from its event log:
// one rule for the examinee's result at the end and for the teacher's report.
//
// A character is what the exam counts: a double-byte (Chinese) character or a
// single-byte one from 33 to 126. Spaces and line breaks are typed but are no
// characters, as they are never counted correct either.
//
// - Exam time: the time the exam clock ran. The clock starts with the first
//   change of the answer and stands still while the exam is paused. For a
//   completed exam it is the time to completion: from the first change to the
//   change that completed the exam, less the pauses between, to the
//   millisecond. For any other exam it is the clock's elapsed time as the
//   record gives it (whole seconds; it also stops at time up).
// - Speed (字/分): correct characters (the record's correct Chinese plus correct
//   single-byte characters, as the score counts them) over the exam time in
//   minutes. None when the exam time is under a second.
// - Accuracy: correct characters over characters typed, where every character
//   appended counts once and every character removed counts once more (a
//   deletion is typing too). None when nothing was typed.
struct Measures {
    int correct = 0;
    std::int64_t typed = 0;   // characters appended
    std::int64_t removed = 0; // characters removed
    std::int64_t examMs = 0;
    std::optional<double> speed;            // characters a minute
    std::optional<double> accuracy;         // 0 to 1
    std::optional<std::int64_t> completion; // ms, completed exams only
};

// What of a record the measures need besides its log.
struct MeasureInput {
    int correct = 0;
    bool complete = false;
    // The clock's elapsed time in seconds; none when the record has none.
    std::optional<std::int64_t> elapsedSeconds;
};

Measures Measure(const ExamLog& log, const MeasureInput& input);

// The characters of GBK bytes, as counted above.
std::int64_t CountCharacters(std::string_view gbk);

// A pause from `from` to `to` ms after the login.
struct PauseSpan {
    std::int64_t from = 0;
    std::int64_t to = 0;
    bool operator==(const PauseSpan&) const = default;
};
// The pauses of a log; one still under way at the end of the log lasts to `end`.
std::vector<PauseSpan> Pauses(const ExamLog& log, std::int64_t end);
// Milliseconds from `from` to `to` outside the pauses.
std::int64_t ActiveMs(const std::vector<PauseSpan>& pauses, std::int64_t from, std::int64_t to);

// The typing curve: the characters in the answer after each change.
struct CurvePoint {
    std::int64_t ms = 0;
    std::int64_t characters = 0;
    bool operator==(const CurvePoint&) const = default;
};
std::vector<CurvePoint> TypingCurve(const ExamLog& log);

// The source characters (GBK) typed wrong: for every character appended where
// the source has a character, and unlike it, the source's character there
// counts once. Adds to `counts`.
void CountWrongCharacters(const ExamLog& log, std::string_view source,
                          std::map<std::string, int>& counts);

} // namespace qarvel::exam
