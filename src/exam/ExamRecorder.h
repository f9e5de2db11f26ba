#pragma once

#include "EventLog.h"
#include "ExamClock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qarvel::exam {

// Writes down an exam's typing as it happens: each judged change of the
// answer as what it added at the end or took from it, pause and continue,
// each at its time since the login on a monotonic clock. It keeps its own
// copy of the answer, so that a change that failed half-way in the engine
// is still recorded as the box reported it.
class ExamRecorder {
public:
    explicit ExamRecorder(MonotonicClock now = SteadyClock());

    // The login: time 0. Events before it are not recorded.
    void Start();
    [[nodiscard]] bool started() const { return started_; }

    // The answer box reported `answer` (GBK, CR LF): one judged change.
    void Change(std::string_view answer);
    void Pause();
    void Continue();
    void SetKeyPresses(std::int64_t count) { log_.keyPresses = count; }

    // Milliseconds since the login.
    [[nodiscard]] std::int64_t Now() const;
    [[nodiscard]] const ExamLog& log() const { return log_; }

private:
    void Add(ExamEvent event);

    MonotonicClock now_;
    std::int64_t origin_ = 0;
    bool started_ = false;
    std::string answer_;
    ExamLog log_;
};

// The answer that the changes of `log` build, from an empty one (GBK).
std::string AnswerOf(const ExamLog& log);

} // namespace qarvel::exam
