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
//   millisecond. Any other exam is timed the same way to its last judged
//   change, not to its close or its time up: time spent looking at the
//   screen after the last character is not typing. A record without an event
//   log gives the clock's elapsed time (whole seconds).
// - Speed (字/分): correct characters (the record's correct Chinese plus correct
//   single-byte characters, as the score counts them) over the exam time in
//   minutes. None when the exam time is under a second.
// - Accuracy: correct characters over characters typed, where every character
//   appended counts once and every character removed counts once more (a
//   deletion is typing too). None when nothing was typed.
// - 击键 (keys a second): the real key presses over the exam time in seconds.
// - 码长 (keys a character): the real key presses over the characters
//   appended (removed ones included: they took keys too).
// - 回改 (corrections): the characters removed.
// Key presses the record did not count (-1) give neither 击键 nor 码长.
struct Measures {
    int correct = 0;
    std::int64_t typed = 0;   // characters appended
    std::int64_t removed = 0; // characters removed
    std::int64_t examMs = 0;
    std::optional<double> speed;            // characters a minute
    std::optional<double> accuracy;         // 0 to 1
    std::optional<std::int64_t> completion; // ms, completed exams only
    std::optional<double> keysPerSecond;    // 击键
    std::optional<double> keysPerCharacter; // 码长
};

// What of a record the measures need besides its log.
struct MeasureInput {
    int correct = 0;
    bool complete = false;
    // The clock's elapsed time in seconds; none when the record has none.
    std::optional<std::int64_t> elapsedSeconds;
    std::int64_t keyPresses = -1; // real key presses; -1 when not counted
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

// How often a source character was typed wrong, and what was typed instead
// (GBK), how often each.
struct WrongCount {
    int count = 0;
    std::map<std::string, int> typedAs;
};

// The source characters (GBK) typed wrong: for every character appended where
// the source has a character, and unlike it, the source's character there
// counts once, with the character typed. Adds to `counts`.
void CountWrongCharacters(const ExamLog& log, std::string_view source,
                          std::map<std::string, WrongCount>& counts);

} // namespace qarvel::exam
