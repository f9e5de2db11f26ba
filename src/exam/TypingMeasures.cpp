#include "TypingMeasures.h"

#include "Gbk.h"

#include <algorithm>

namespace qarvel::exam {
namespace {

bool IsChange(const ExamEvent& e) {
    return e.kind == ExamEvent::Kind::Append || e.kind == ExamEvent::Kind::Remove;
}

// One character of GBK bytes at `i`: its length, and whether it counts.
struct Character {
    std::size_t size = 1;
    bool counts = false;
};

Character CharacterAt(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(b) && i + 1 < s.size()) {
        return {2, true};
    }
    return {1, !IsControlByte(b)};
}

// The answer as the log builds it, kept as its characters' sizes, so that a
// removal knows how many characters went.
class Answer {
public:
    [[nodiscard]] std::int64_t bytes() const { return bytes_; }
    [[nodiscard]] std::int64_t characters() const { return characters_; }

    // Appends `text`; returns how many characters it added.
    std::int64_t Append(std::string_view text) {
        std::int64_t added = 0;
        for (std::size_t i = 0; i < text.size();) {
            const Character c = CharacterAt(text, i);
            parts_.push_back(c);
            bytes_ += std::int64_t(c.size);
            added += c.counts ? 1 : 0;
            i += c.size;
        }
        characters_ += added;
        return added;
    }

    // Removes `count` bytes from the end; returns how many characters went. A
    // character cut in two goes as a character; its first byte stays, uncounted.
    std::int64_t Remove(std::int64_t count) {
        std::int64_t removed = 0;
        while (count > 0 && !parts_.empty()) {
            const Character c = parts_.back();
            parts_.pop_back();
            bytes_ -= std::int64_t(c.size);
            removed += c.counts ? 1 : 0;
            if (std::int64_t(c.size) > count) {
                parts_.push_back({c.size - std::size_t(count), false});
                bytes_ += std::int64_t(c.size) - count;
                count = 0;
            } else {
                count -= std::int64_t(c.size);
            }
        }
        characters_ -= removed;
        return removed;
    }

private:
    std::vector<Character> parts_;
    std::int64_t bytes_ = 0;
    std::int64_t characters_ = 0;
};

} // namespace

std::int64_t CountCharacters(std::string_view gbk) {
    std::int64_t count = 0;
    for (std::size_t i = 0; i < gbk.size();) {
        const Character c = CharacterAt(gbk, i);
        count += c.counts ? 1 : 0;
        i += c.size;
    }
    return count;
}

std::vector<PauseSpan> Pauses(const ExamLog& log, std::int64_t end) {
    std::vector<PauseSpan> pauses;
    bool paused = false;
    std::int64_t since = 0;
    for (const ExamEvent& e : log.events) {
        if (e.kind == ExamEvent::Kind::Pause && !paused) {
            paused = true;
            since = e.ms;
        } else if (e.kind == ExamEvent::Kind::Continue && paused) {
            pauses.push_back({since, std::max(since, e.ms)});
            paused = false;
        }
    }
    if (paused) {
        pauses.push_back({since, std::max(since, end)});
    }
    return pauses;
}

std::int64_t ActiveMs(const std::vector<PauseSpan>& pauses, std::int64_t from, std::int64_t to) {
    if (to <= from) {
        return 0;
    }
    std::int64_t active = to - from;
    for (const PauseSpan& p : pauses) {
        const std::int64_t a = std::max(p.from, from);
        const std::int64_t b = std::min(p.to, to);
        if (b > a) {
            active -= b - a;
        }
    }
    return std::max<std::int64_t>(active, 0);
}

Measures Measure(const ExamLog& log, const MeasureInput& input) {
    Measures m;
    m.correct = input.correct;
    Answer answer;
    std::optional<std::int64_t> first;
    std::int64_t last = 0;
    std::int64_t end = 0;
    for (const ExamEvent& e : log.events) {
        end = std::max(end, e.ms);
        if (!IsChange(e)) {
            continue;
        }
        if (!first) {
            first = e.ms;
        }
        last = e.ms;
        if (e.kind == ExamEvent::Kind::Append) {
            m.typed += answer.Append(e.text);
        } else {
            m.removed += answer.Remove(e.count);
        }
    }
    if (first) {
        m.examMs = ActiveMs(Pauses(log, end), *first, last);
        if (input.complete) {
            m.completion = m.examMs;
        }
    } else if (input.elapsedSeconds) {
        m.examMs = *input.elapsedSeconds * 1000;
    }
    if (m.examMs >= 1000) {
        m.speed = double(input.correct) * 60000.0 / double(m.examMs);
        if (input.keyPresses >= 0) {
            m.keysPerSecond = double(input.keyPresses) * 1000.0 / double(m.examMs);
        }
    }
    if (input.keyPresses >= 0 && m.typed > 0) {
        m.keysPerCharacter = double(input.keyPresses) / double(m.typed);
    }
    if (m.typed + m.removed > 0) {
        m.accuracy = std::min(1.0, double(input.correct) / double(m.typed + m.removed));
    }
    return m;
}

std::vector<CurvePoint> TypingCurve(const ExamLog& log) {
    std::vector<CurvePoint> curve;
    Answer answer;
    for (const ExamEvent& e : log.events) {
        if (!IsChange(e)) {
            continue;
        }
        if (e.kind == ExamEvent::Kind::Append) {
            answer.Append(e.text);
        } else {
            answer.Remove(e.count);
        }
        // Changes of the same moment (a phrase committed at once) make one point.
        if (!curve.empty() && curve.back().ms == e.ms) {
            curve.back().characters = answer.characters();
        } else {
            curve.push_back({e.ms, answer.characters()});
        }
    }
    return curve;
}

void CountWrongCharacters(const ExamLog& log, std::string_view source,
                          std::map<std::string, WrongCount>& counts) {
    // Where each source character begins; an offset inside a character
    // addresses the one after it, as the marks of the source view do.
    std::vector<std::int32_t> begins(source.size() + 1, -1);
    std::vector<bool> starts(source.size(), false);
    for (std::size_t i = 0; i < source.size();) {
        starts[i] = true;
        i += CharacterAt(source, i).size;
    }
    std::int32_t next = std::int32_t(source.size());
    for (std::size_t i = source.size(); i-- > 0;) {
        if (starts[i]) {
            next = std::int32_t(i);
        }
        begins[i] = next;
    }
    Answer answer;
    for (const ExamEvent& e : log.events) {
        if (e.kind == ExamEvent::Kind::Remove) {
            answer.Remove(e.count);
            continue;
        }
        if (e.kind != ExamEvent::Kind::Append) {
            continue;
        }
        for (std::size_t i = 0; i < e.text.size();) {
            const Character typed = CharacterAt(e.text, i);
            const std::int64_t at = answer.bytes();
            answer.Append(std::string_view(e.text).substr(i, typed.size));
            if (typed.counts && at < std::int64_t(source.size())) {
                const auto begin = std::size_t(begins[std::size_t(at)]);
                if (begin < source.size()) {
                    const Character wanted = CharacterAt(source, begin);
                    const std::string_view want = source.substr(begin, wanted.size);
                    const std::string_view got = std::string_view(e.text).substr(i, typed.size);
                    if (wanted.counts && (begin != std::size_t(at) || want != got)) {
                        WrongCount& wrong = counts[std::string(want)];
                        ++wrong.count;
                        ++wrong.typedAs[std::string(got)];
                    }
                }
            }
            i += typed.size;
        }
    }
}

} // namespace qarvel::exam
