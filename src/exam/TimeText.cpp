#include "TimeText.h"

#include "Errors.h"
#include "Gbk.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace qarvel::exam {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::int64_t kMsPerHour = 3'600'000;
constexpr std::int64_t kMsPerMinute = 60'000;
constexpr std::int64_t kMsPerSecond = 1000;

// Numbers may have any number of digits; above this they all mean "too big",
// which every range check rejects.
constexpr std::uint32_t kNumberCap = 1'000'000;

enum class Designator { None, Morning, Afternoon };

constexpr unsigned char AsciiLower(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

class Reader {
public:
    Reader(std::string_view text, const TimeLocale& locale)
        : text_(text), locale_(locale),
          timeSep_(locale.timeSeparator.empty() ? std::string_view(":")
                                                : std::string_view(locale.timeSeparator)),
          decimalSep_(locale.decimalSeparator.empty() ? std::string_view(".")
                                                      : std::string_view(locale.decimalSeparator)) {
    }

    bool AtEnd() const { return pos_ == text_.size(); }

    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ') {
            ++pos_;
        }
    }

    // Takes `sep` when the text continues with exactly these bytes.
    bool Take(std::string_view sep) {
        if (text_.substr(pos_).starts_with(sep)) {
            pos_ += sep.size();
            return true;
        }
        return false;
    }

    // The locale's separator, and ":" whatever the locale says: a duration
    // typed as "00:30:00" reads the same under every locale.
    bool TakeTimeSeparator() { return Take(timeSep_) || Take(":"); }
    bool TakeDecimalSeparator() { return Take(decimalSep_); }

    // A run of ASCII digits; false when there is none. Values past the cap saturate.
    bool ReadNumber(std::uint32_t& out) {
        const std::size_t start = pos_;
        std::uint32_t value = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            if (value < kNumberCap) {
                value = value * 10 + static_cast<std::uint32_t>(text_[pos_] - '0');
            }
            ++pos_;
        }
        out = value < kNumberCap ? value : kNumberCap;
        return pos_ > start;
    }

    // The locale's morning word or "AM", else its afternoon word or "PM".
    Designator TakeDesignator() {
        if (TakeWord(locale_.amWord) || TakeWord("AM")) {
            return Designator::Morning;
        }
        if (TakeWord(locale_.pmWord) || TakeWord("PM")) {
            return Designator::Afternoon;
        }
        return Designator::None;
    }

private:
    // Compares a word character by character: ASCII letters without regard to
    // case, the two bytes of a double-byte character exactly (its second byte
    // may look like an ASCII letter). An empty word never matches.
    bool TakeWord(std::string_view word) {
        if (word.empty() || text_.size() - pos_ < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            const auto w = static_cast<unsigned char>(word[i]);
            const auto t = static_cast<unsigned char>(text_[pos_ + i]);
            if (IsLeadByte(w) && i + 1 < word.size()) {
                if (w != t || word[i + 1] != text_[pos_ + i + 1]) {
                    return false;
                }
                ++i;
            } else if (AsciiLower(w) != AsciiLower(t)) {
                return false;
            }
        }
        pos_ += word.size();
        return true;
    }

    std::string_view text_;
    const TimeLocale& locale_;
    std::string_view timeSep_;
    std::string_view decimalSep_;
    std::size_t pos_ = 0;
};

// The message is a C string: a NUL in the text would cut it short, so it is
// quoted as "?", like any other byte that cannot be shown.
[[noreturn]] void Fail(std::string_view text) {
    std::string quoted = GbkToUtf8(text);
    std::replace(quoted.begin(), quoted.end(), '\0', '?');
    throw ConvertError("'" + quoted + "' is not a valid time");
}

} // namespace

TimeValue ParseTimeText(std::string_view text, const TimeLocale& locale) {
    Reader r(text, locale);

    r.SkipBlanks();
    Designator designator = r.TakeDesignator();
    if (designator != Designator::None) {
        r.SkipBlanks();
    }

    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    std::uint32_t millis = 0;

    r.SkipBlanks();
    if (!r.ReadNumber(hours)) {
        Fail(text);
    }
    r.SkipBlanks();
    if (r.TakeTimeSeparator()) {
        r.SkipBlanks();
        if (!r.ReadNumber(minutes)) {
            Fail(text);
        }
        r.SkipBlanks();
        if (r.TakeTimeSeparator()) {
            r.SkipBlanks();
            if (!r.ReadNumber(seconds)) {
                Fail(text);
            }
            r.SkipBlanks();
            if (r.TakeDecimalSeparator()) {
                r.SkipBlanks();
                if (!r.ReadNumber(millis)) {
                    Fail(text);
                }
            }
        }
    }

    if (designator == Designator::None) {
        r.SkipBlanks();
        designator = r.TakeDesignator();
    }
    if (designator != Designator::None) {
        if (hours < 1 || hours > 12) {
            Fail(text);
        }
        if (hours == 12) {
            hours = 0;
        }
        if (designator == Designator::Afternoon) {
            hours += 12;
        }
    }

    r.SkipBlanks();
    if (hours >= 24 || minutes >= 60 || seconds >= 60 || millis >= 1000 || !r.AtEnd()) {
        Fail(text);
    }

    const std::int64_t ms = hours * kMsPerHour + minutes * kMsPerMinute + seconds * kMsPerSecond +
                            static_cast<std::int64_t>(millis);
    return static_cast<TimeValue>(static_cast<long double>(ms) / kMsPerDay);
}

namespace {

// Whole milliseconds, rounded to nearest (ties to even), sign and whole days
// dropped. fmod is exact, so even huge values keep their place in the day.
// A value that is not a number, or is infinite, has no time of day.
std::int64_t MsOfDay(TimeValue value) {
    if (!std::isfinite(value)) {
        throw InvalidOpError();
    }
    const long double scaled = std::nearbyint(static_cast<long double>(value) * kMsPerDay);
    return static_cast<std::int64_t>(
        std::fmod(std::fabs(scaled), static_cast<long double>(kMsPerDay)));
}

} // namespace

TimeValue ShownTime(TimeValue value) {
    const std::int64_t ms = MsOfDay(value);
    // As ParseTimeText reads the hours, minutes and seconds shown.
    return static_cast<TimeValue>(static_cast<long double>(ms - ms % kMsPerSecond) / kMsPerDay);
}

std::string FormatTimeText(TimeValue value, const TimeLocale& locale) {
    const std::int64_t ms = MsOfDay(value);

    const auto hours = static_cast<int>(ms / kMsPerHour);
    const auto minutes = static_cast<int>(ms / kMsPerMinute % 60);
    const auto seconds = static_cast<int>(ms % kMsPerMinute / kMsPerSecond);

    const std::string_view sep = locale.timeSeparator.empty()
                                     ? std::string_view(":")
                                     : std::string_view(locale.timeSeparator);
    std::string out;
    const auto two = [&out](int v) {
        out += static_cast<char>('0' + v / 10);
        out += static_cast<char>('0' + v % 10);
    };
    two(hours);
    out += sep;
    two(minutes);
    out += sep;
    two(seconds);
    return out;
}

} // namespace qarvel::exam
