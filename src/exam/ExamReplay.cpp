#include "ExamReplay.h"

#include "CompareAnswer.h"
#include "ExamClock.h"
#include "ExamState.h"
#include "ExamView.h"
#include "SourceCount.h"
#include "TimeText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

namespace qarvel::exam {
namespace {

// The exam window without a window: the engine's state is all it has, and
// its clock counts a second for every whole second it has been on.
class HeadlessView : public ExamView {
public:
    explicit HeadlessView(ExamState& state) : state_(state) {}

    void SetClockEnabled(bool on) override {
        if (!on) {
            // A change that stops the clock (completion) comes after every
            // second up to it.
            if (changing_) {
                Advance(now_);
            }
            clockOn_ = false;
            return;
        }
        // A read-only or disabled box reports no change: a change that still arrives
        // there is flagged, and does not start a clock that the window had
        // stopped.
        if (!clockOn_ && !(Closed() && changing_)) {
            clockOn_ = true;
            clockStart_ = now_;
            counted_ = 0;
        }
    }
    void MarkSource(int, Mark) override {}
    void SetFieldText(Field, const std::string&) override {}
    void DisableAnswer() override {}
    void SetAnswerReadOnly(bool) override {}

    // The answer box takes no input: paused, time up or complete.
    [[nodiscard]] bool Closed() const { return state_.AnswerReadOnly || state_.AnswerDisabled; }

    // The time of the event under way: a clock switched on starts then.
    void At(std::int64_t ms) { now_ = ms; }

    // The clock's ticks up to `ms`.
    void Advance(std::int64_t ms) {
        if (!clockOn_) {
            return;
        }
        const std::int64_t due = (ms - clockStart_) / kClockPeriodMs - counted_;
        if (due > 0) {
            counted_ += due;
            try {
                ClockTick(state_, *this, {},
                          static_cast<int>(std::min<std::int64_t>(due, INT32_MAX)));
            } catch (const std::exception&) {
                clockOn_ = false; // the window shows the error; the clock text stays
            }
        }
    }

    bool changing_ = false;

private:
    ExamState& state_;
    bool clockOn_ = false;
    std::int64_t clockStart_ = 0;
    std::int64_t counted_ = 0;
    std::int64_t now_ = 0;
};

std::int64_t Seconds(const ClockTime& time) {
    return time.isTime ? std::llround(time.value * 86400.0) : 0;
}

} // namespace

ReplayResult ReplayExam(const std::string& source, const std::string& duration, const ExamLog& log,
                        std::int64_t at) {
    ReplayResult result;
    ExamState state;
    HeadlessView view(state);
    const SourceCounts counts = CountSource(state, source);
    result.sourceAscii = counts.ascii;
    result.sourceHanzi = counts.hanzi;
    result.sourceTotal = counts.total;
    SetDuration(state, view, duration);

    std::int64_t last = 0;
    std::int64_t pausedSince = -1;
    for (const ExamEvent& e : log.events) {
        if (e.ms < last) {
            result.disordered = true;
        }
        last = std::max(last, e.ms);
        switch (e.kind) {
        case ExamEvent::Kind::Append:
        case ExamEvent::Kind::Remove: {
            // A tick can come late: the change may have come before the last second.
            view.Advance(e.ms - kLateTickMs);
            view.At(e.ms);
            if (view.Closed()) {
                ++result.outsideExamTime;
            }
            ++result.changes;
            view.changing_ = true;
            try {
                CompareChange(
                    state, view,
                    e.kind == ExamEvent::Kind::Append
                        ? AnswerChange{0, e.text}
                        : AnswerChange{static_cast<std::size_t>(std::max(e.count, 0)), {}});
            } catch (const std::exception&) {
                // The window shows the error; what the change did before it stays.
            }
            view.changing_ = false;
            view.Advance(e.ms);
            break;
        }
        case ExamEvent::Kind::Pause:
            view.Advance(e.ms);
            view.At(e.ms);
            if (!view.Closed()) {
                ++result.pauses;
                pausedSince = e.ms;
            }
            PauseExam(state, view);
            break;
        case ExamEvent::Kind::Continue:
            view.Advance(e.ms);
            view.At(e.ms);
            try {
                ContinueExam(state, view);
            } catch (const std::exception&) {
            }
            if (pausedSince >= 0 && !state.AnswerReadOnly) {
                result.pausedMs += e.ms - pausedSince;
                pausedSince = -1;
            }
            break;
        }
    }
    if (at < last) {
        result.disordered = true;
    }
    view.Advance(at);
    if (pausedSince >= 0) {
        result.pausedMs += std::max<std::int64_t>(0, at - pausedSince);
    }
    result.answer = state.AnswerText;
    result.correctAscii = state.CorrectAsciiCount;
    result.correctHanzi = state.CorrectHanziCount;
    result.score = state.Score;
    result.elapsedSeconds = Seconds(state.Elapsed);
    result.remainingSeconds = Seconds(state.Remaining);
    result.complete = state.AnswerDisabled;
    result.readOnly = state.AnswerReadOnly;
    return result;
}

} // namespace qarvel::exam
