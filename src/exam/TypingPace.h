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

// Every judged change, pause and continue takes a key press or a click, and
// nobody keeps up more than 20 of those a second (the fastest typists press
// some 12 to 15 keys a second in bursts).
inline constexpr std::int64_t kMostEventsPerSecond = 20;
// The longest exam a duration can set: the clock holds less than a day.
inline constexpr std::int64_t kLongestExamMs = 24 * 3600 * 1000;

// The most events an exam of `durationMs` (kLongestExamMs when unknown) can
// hold: 20 a second of its time, and a minute's worth for the login and the end.
std::int64_t MostEvents(std::int64_t durationMs);
// The most characters an exam of `durationMs` can add: the minute limit for
// every minute begun, and a burst.
std::int64_t MostCharacters(std::int64_t durationMs);

TypingPace MeasurePace(const ExamLog& log);

// Whether the pace is beyond a person: the limits above, or more characters
// than the real key presses could type (when they were counted: `keyPresses`
// not negative).
bool ImplausiblePace(const TypingPace& pace, std::int64_t keyPresses);

} // namespace qarvel::exam
