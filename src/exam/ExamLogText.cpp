#include "ExamLogText.h"

#include "Gbk.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace qarvel::exam {
namespace {

// UTF-8 characters of `text`; -1 when it is not UTF-8.
int CountCharacters(std::string_view text) {
    int n = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

void AppendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    [[nodiscard]] bool done() const { return pos_ >= text_.size(); }

    bool Number(std::int64_t& value) {
        const char* begin = text_.data() + pos_;
        const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), value);
        if (error != std::errc() || end == begin || value < 0) {
            return false;
        }
        pos_ += static_cast<std::size_t>(end - begin);
        return true;
    }
    bool Char(char& c) {
        if (done()) {
            return false;
        }
        c = text_[pos_++];
        return true;
    }
    bool Expect(char wanted) {
        char c = 0;
        return Char(c) && c == wanted;
    }
    // `count` UTF-8 characters.
    bool Characters(std::int64_t count, std::string& out) {
        const std::size_t begin = pos_;
        for (std::int64_t i = 0; i < count; ++i) {
            if (done()) {
                return false;
            }
            ++pos_;
            while (!done() && (static_cast<unsigned char>(text_[pos_]) & 0xC0) == 0x80) {
                ++pos_;
            }
        }
        out.assign(text_.substr(begin, pos_ - begin));
        return IsValidUtf8(out);
    }
    bool Hex(std::int64_t count, std::string& out) {
        if (count < 0 || static_cast<std::size_t>(count) * 2 > text_.size() - pos_) {
            return false;
        }
        out.clear();
        for (std::int64_t i = 0; i < count; ++i) {
            unsigned value = 0;
            const char* at = text_.data() + pos_;
            const auto [end, error] = std::from_chars(at, at + 2, value, 16);
            if (error != std::errc() || end != at + 2) {
                return false;
            }
            out += static_cast<char>(value);
            pos_ += 2;
        }
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::string EncodeEvents(const std::vector<ExamEvent>& events) {
    std::string out;
    std::int64_t last = 0;
    for (const ExamEvent& e : events) {
        out += std::to_string(e.ms - last);
        last = e.ms;
        switch (e.kind) {
        case ExamEvent::Kind::Append: {
            const std::string utf8 = GbkToUtf8(e.text);
            if (Utf8ToGbk(utf8) != e.text) {
                out += 'x' + std::to_string(e.text.size()) + ':';
                AppendHex(out, e.text);
                break;
            }
            const int characters = CountCharacters(utf8);
            if (characters == 1) {
                out += '+';
            } else {
                out += '*' + std::to_string(characters) + ':';
            }
            out += utf8;
            break;
        }
        case ExamEvent::Kind::Remove:
            out += '-' + std::to_string(e.count) + '.';
            break;
        case ExamEvent::Kind::Pause:
            out += 'p';
            break;
        case ExamEvent::Kind::Continue:
            out += 'c';
            break;
        }
    }
    return out;
}

std::optional<std::vector<ExamEvent>> DecodeEvents(std::string_view text, std::int64_t most,
                                                   bool* tooMany) {
    std::vector<ExamEvent> events;
    Reader in(text);
    std::int64_t time = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    while (!in.done()) {
        if (std::int64_t(events.size()) >= most) {
            if (tooMany != nullptr) {
                *tooMany = true;
            }
            return std::nullopt;
        }
        std::int64_t step = 0;
        char sign = 0;
        if (!in.Number(step) || step > kLimit || !in.Char(sign)) {
            return std::nullopt;
        }
        time += step;
        ExamEvent e;
        e.ms = time;
        std::int64_t n = 1;
        switch (sign) {
        case '+':
        case '*': {
            if (sign == '*' && (!in.Number(n) || n > kLimit || !in.Expect(':'))) {
                return std::nullopt;
            }
            std::string utf8;
            if (!in.Characters(n, utf8)) {
                return std::nullopt;
            }
            e.kind = ExamEvent::Kind::Append;
            e.text = Utf8ToGbk(utf8);
            break;
        }
        case 'x':
            if (!in.Number(n) || n > kLimit || !in.Expect(':') || !in.Hex(n, e.text)) {
                return std::nullopt;
            }
            e.kind = ExamEvent::Kind::Append;
            break;
        case '-':
            if (!in.Number(n) || n > kLimit || !in.Expect('.')) {
                return std::nullopt;
            }
            e.kind = ExamEvent::Kind::Remove;
            e.count = static_cast<std::int32_t>(n);
            break;
        case 'p':
            e.kind = ExamEvent::Kind::Pause;
            break;
        case 'c':
            e.kind = ExamEvent::Kind::Continue;
            break;
        default:
            return std::nullopt;
        }
        events.push_back(std::move(e));
    }
    return events;
}

} // namespace qarvel::exam
