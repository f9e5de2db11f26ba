#include "TypingPace.h"

#include "Gbk.h"

#include <algorithm>
#include <deque>
#include <utility>

namespace qarvel::exam {
namespace {

// Characters of a GBK text: a double-byte character, a CR LF, any other byte: one each.
int Characters(std::string_view text) {
    int n = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const unsigned char b = ByteAt(text, static_cast<std::int64_t>(k));
        const bool pair =
            k + 1 < text.size() && (IsLeadByte(b) || (b == '\r' && text[k + 1] == '\n'));
        k += pair ? 1 : 0;
        ++n;
    }
    return n;
}

// The most characters within any `window` milliseconds.
class Window {
public:
    explicit Window(std::int64_t window) : window_(window) {}
    void Add(std::int64_t ms, int characters) {
        added_.emplace_back(ms, characters);
        inside_ += characters;
        while (added_.front().first <= ms - window_) {
            inside_ -= added_.front().second;
            added_.pop_front();
        }
        most_ = std::max(most_, inside_);
    }
    [[nodiscard]] int most() const { return most_; }

private:
    std::int64_t window_;
    std::deque<std::pair<std::int64_t, int>> added_;
    int inside_ = 0;
    int most_ = 0;
};

} // namespace

std::int64_t MostEvents(std::int64_t durationMs) {
    const std::int64_t ms = durationMs > 0 ? std::min(durationMs, kLongestExamMs) : kLongestExamMs;
    return kMostEventsPerSecond * (ms / 1000 + 60);
}

std::int64_t MostCharacters(std::int64_t durationMs) {
    const std::int64_t ms = durationMs > 0 ? std::min(durationMs, kLongestExamMs) : kLongestExamMs;
    return kMinuteLimit * (ms / kMinuteMs + 1) + kBurstLimit;
}

TypingPace MeasurePace(const ExamLog& log) {
    TypingPace pace;
    Window burst(kBurstMs);
    Window minute(kMinuteMs);
    for (const ExamEvent& e : log.events) {
        if (e.kind != ExamEvent::Kind::Append || e.text.empty()) {
            continue;
        }
        const int n = Characters(e.text);
        pace.characters += n;
        burst.Add(e.ms, n);
        minute.Add(e.ms, n);
    }
    pace.mostInBurst = burst.most();
    pace.mostInMinute = minute.most();
    return pace;
}

bool ImplausiblePace(const TypingPace& pace, std::int64_t keyPresses) {
    if (pace.mostInBurst > kBurstLimit || pace.mostInMinute > kMinuteLimit) {
        return true;
    }
    return keyPresses >= 0 && pace.characters > kCharactersPerKey * keyPresses + kKeySlack;
}

} // namespace qarvel::exam
