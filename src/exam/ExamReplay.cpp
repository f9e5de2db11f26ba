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

// The exam window without a window: its fields, its answer box's two flags
// and its clock, which counts a second for every whole second it has been on.
class HeadlessView : public ExamView {
public:
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
        if (!clockOn_ && !((readOnly_ || disabled_) && changing_)) {
            clockOn_ = true;
            clockStart_ = now_;
            counted_ = 0;
        }
    }
    void MarkSource(int, Mark) override {}
    void SetFieldText(Field field, const std::string& text) override {
        fields_[static_cast<std::size_t>(field)] = text;
    }
    [[nodiscard]] std::string FieldText(Field field) const override {
        return fields_[static_cast<std::size_t>(field)];
    }
    void DisableAnswer() override { disabled_ = true; }
    [[nodiscard]] bool AnswerDisabled() const override { return disabled_; }
    void SetAnswerReadOnly(bool readOnly) override { readOnly_ = readOnly; }

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
                ClockTick(*this, {}, static_cast<int>(std::min<std::int64_t>(due, INT32_MAX)));
            } catch (const std::exception&) {
                clockOn_ = false; // the window shows the error; the clock text stays
            }
            if (!clockOn_ && readOnly_ && timeUpAt_ < 0) {
                timeUpAt_ = clockStart_ + counted_ * kClockPeriodMs;
            }
        }
    }

    bool readOnly_ = false;
    bool disabled_ = false;
    bool changing_ = false;
    std::int64_t timeUpAt_ = -1;

private:
    std::array<std::string, kFieldCount> fields_{};
    bool clockOn_ = false;
    std::int64_t clockStart_ = 0;
    std::int64_t counted_ = 0;
    std::int64_t now_ = 0;
};

std::int64_t Seconds(const std::string& timeText) {
    try {
        return std::llround(ParseTimeText(timeText) * 86400.0);
    } catch (const std::exception&) {
        return 0;
    }
}

std::int32_t Decimal(const std::string& text) {
    try {
        return static_cast<std::int32_t>(std::stol(text));
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

ReplayResult ReplayExam(const std::string& source, const std::string& duration, const ExamLog& log,
                        std::int64_t at) {
    ReplayResult result;
    ExamState state;
    HeadlessView view;
    const SourceCounts counts = CountSource(state, source);
    result.sourceAscii = counts.ascii;
    result.sourceHanzi = counts.hanzi;
    result.sourceTotal = counts.total;
    view.SetFieldText(Field::SourceTotal, std::to_string(counts.total));
    view.SetFieldText(Field::SourceAscii, std::to_string(counts.ascii));
    view.SetFieldText(Field::SourceHanzi, std::to_string(counts.hanzi));
    view.SetFieldText(Field::RemainingTime, duration);
    view.SetFieldText(Field::ElapsedTime, kInitialElapsed);

    std::string answer;
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
            if (view.readOnly_ || view.disabled_) {
                ++result.outsideExamTime;
            }
            if (e.kind == ExamEvent::Kind::Append) {
                answer += e.text;
            } else {
                answer.resize(
                    answer.size() -
                    std::min<std::size_t>(answer.size(), std::size_t(std::max(e.count, 0))));
            }
            ++result.changes;
            view.changing_ = true;
            try {
                CompareAnswer(state, view, answer);
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
            if (!view.readOnly_ && !view.disabled_) {
                ++result.pauses;
                pausedSince = e.ms;
            }
            PauseExam(view);
            break;
        case ExamEvent::Kind::Continue:
            view.Advance(e.ms);
            view.At(e.ms);
            try {
                ContinueExam(view);
            } catch (const std::exception&) {
            }
            if (pausedSince >= 0 && !view.readOnly_) {
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
    result.answer = answer;
    result.correctAscii = state.CorrectAsciiCount;
    result.correctHanzi = state.CorrectHanziCount;
    result.score = Decimal(view.FieldText(Field::Score));
    result.elapsedSeconds = Seconds(view.FieldText(Field::ElapsedTime));
    result.remainingSeconds = Seconds(view.FieldText(Field::RemainingTime));
    result.complete = view.disabled_;
    result.readOnly = view.readOnly_;
    return result;
}

} // namespace qarvel::exam
