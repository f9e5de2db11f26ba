#pragma once

#include "EventLog.h"

#include <cstdint>
#include <string>

namespace qarvel::exam {

// What an exam's events give when they run again through the engine, on the
// same source, the same duration and the same rules for the clock.
struct ReplayResult {
    std::string answer; // GBK, CR LF
    std::int32_t sourceAscii = 0;
    std::int32_t sourceHanzi = 0;
    std::int32_t sourceTotal = 0;
    std::int32_t correctAscii = 0;
    std::int32_t correctHanzi = 0;
    std::int64_t score = 0;
    std::int64_t elapsedSeconds = 0;
    std::int64_t remainingSeconds = 0;
    int changes = 0; // judged changes
    int pauses = 0;  // pauses that stopped an exam under way
    std::int64_t pausedMs = 0;
    bool complete = false; // the answer box disabled
    bool readOnly = false; // paused or time up
    // Changes that came while the answer box could take none: paused, time
    // up, complete (a late clock tick is allowed for).
    int outsideExamTime = 0;
    // The exam went on after the time it was looked at, or its events are not
    // in order of time.
    bool disordered = false;
};

// Runs `log` on the source text `source` (GBK, as the exam window holds it
// before counting) for an exam of `duration` (the text given at login), up
// to `at` milliseconds after the login, when the record was made.
ReplayResult ReplayExam(const std::string& source, const std::string& duration, const ExamLog& log,
                        std::int64_t at);

// A late clock tick: a change this long after the time ran out may still
// have come before the window counted the last second.
inline constexpr std::int64_t kLateTickMs = 1500;

} // namespace qarvel::exam
