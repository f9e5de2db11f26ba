#pragma once

#include "EventLog.h"

#include <cstdint>

namespace qarvel::exam {

// How fast an exam's characters came, from its events.
struct TypingPace {
    std::int64_t characters = 0; // characters added (a line break is one)
    int mostInBurst = 0;         // most characters added within any kBurstMs
    int mostInMinute = 0;        // most characters added within any kMinuteMs
};

// The limits beyond any person on a keyboard. The fastest typing of Chinese
// on a standard keyboard in competition is some 222 characters a minute kept
// up for 20 minutes, with bursts near 370 a minute over a few seconds;
// chord-keyboard stenotypes, which an exam room does not have, reach some
// 670. Input methods hand over whole phrases and sentences at once, so short
// windows are left room: 80 characters within 10 seconds (480 a minute), 400
// within a minute.
inline constexpr std::int64_t kBurstMs = 10000;
inline constexpr int kBurstLimit = 80;
inline constexpr std::int64_t kMinuteMs = 60000;
inline constexpr int kMinuteLimit = 400;
// Every character needs a key: even phrase codes of four keys for a long
// phrase leave an exam's text well under two characters a key.
inline constexpr int kCharactersPerKey = 2;
inline constexpr int kKeySlack = 20;

TypingPace MeasurePace(const ExamLog& log);

// Whether the pace is beyond a person: the limits above, or more characters
// than the real key presses could type (when they were counted: `keyPresses`
// not negative).
bool ImplausiblePace(const TypingPace& pace, std::int64_t keyPresses);

} // namespace qarvel::exam
