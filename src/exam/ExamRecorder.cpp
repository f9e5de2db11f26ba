#include "ExamRecorder.h"

#include "Gbk.h"

#include <algorithm>
#include <utility>

namespace qarvel::exam {
namespace {

// The length of the longest common start of `a` and `b` that ends between
// whole characters of `b` (a double-byte character is never cut in two).
std::size_t CommonStart(std::string_view a, std::string_view b) {
    std::size_t whole = 0;
    std::size_t k = 0;
    const std::size_t limit = std::min(a.size(), b.size());
    while (k < limit) {
        const std::size_t width = IsLeadByte(ByteAt(b, static_cast<std::int64_t>(k))) ? 2 : 1;
        if (k + width > limit || a.substr(k, width) != b.substr(k, width)) {
            break;
        }
        k += width;
        whole = k;
    }
    return whole;
}

} // namespace

ExamRecorder::ExamRecorder(MonotonicClock now) : now_(std::move(now)) {}

void ExamRecorder::Start() {
    origin_ = now_();
    started_ = true;
    answer_.clear();
    log_ = {};
}

std::int64_t ExamRecorder::Now() const {
    return started_ ? now_() - origin_ : 0;
}

void ExamRecorder::Add(ExamEvent event) {
    event.ms = Now();
    log_.events.push_back(std::move(event));
}

void ExamRecorder::Change(std::string_view answer) {
    if (!started_) {
        return;
    }
    // The answer box only adds at the end or takes from it; anything else is
    // written as a removal and an addition at the same time.
    const std::string_view previous = answer_;
    const std::size_t common = answer.starts_with(previous)   ? previous.size()
                               : previous.starts_with(answer) ? answer.size()
                                                              : CommonStart(previous, answer);
    const bool removes = common < answer_.size();
    const bool adds = common < answer.size();
    if (removes) {
        Add({0, ExamEvent::Kind::Remove, {}, static_cast<std::int32_t>(answer_.size() - common)});
    }
    if (adds || !removes) {
        Add({0, ExamEvent::Kind::Append, std::string(answer.substr(common)), 0});
    }
    answer_.resize(common);
    answer_.append(answer.substr(common));
}

void ExamRecorder::Pause() {
    if (started_) {
        Add({0, ExamEvent::Kind::Pause, {}, 0});
    }
}

void ExamRecorder::Continue() {
    if (started_) {
        Add({0, ExamEvent::Kind::Continue, {}, 0});
    }
}

std::string AnswerOf(const ExamLog& log) {
    std::string answer;
    for (const ExamEvent& e : log.events) {
        if (e.kind == ExamEvent::Kind::Append) {
            answer += e.text;
        } else if (e.kind == ExamEvent::Kind::Remove) {
            answer.resize(answer.size() -
                          std::min<std::size_t>(answer.size(),
                                                static_cast<std::size_t>(std::max(e.count, 0))));
        }
    }
    return answer;
}

} // namespace qarvel::exam
