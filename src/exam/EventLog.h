#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qarvel::exam {

// One thing that happened to an exam, `ms` milliseconds after the login on the
// monotonic clock. The exam window records them as they happen; the results
// tool replays them through the engine to check a record, and reads speed and
// accuracy from them.
struct ExamEvent {
    enum class Kind : std::uint8_t {
        Append,   // `text` (GBK bytes) was added at the end of the answer: one judged change
        Remove,   // `count` bytes were removed from the end of the answer: one judged change
        Pause,    // the exam was paused (暂停)
        Continue, // the exam went on (继续)
    };
    std::int64_t ms = 0;
    Kind kind = Kind::Append;
    std::string text;       // Append: the bytes added, GBK
    std::int32_t count = 0; // Remove: how many bytes went

    bool operator==(const ExamEvent&) const = default;
};

// Everything recorded of one exam's typing, in order.
struct ExamLog {
    std::vector<ExamEvent> events;
    // Real key presses (not synthetic, not repeated by a second program) that
    // reached the answer box while the examinee could type.
    std::int64_t keyPresses = 0;

    bool operator==(const ExamLog&) const = default;
};

} // namespace qarvel::exam
