// Time texts: any bytes either parse to a time of day or give the conversion
// error, and every written time reads back as itself.
#include "exam/Errors.h"
#include "exam/TimeText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

using qarvel::exam::ConvertError;
using qarvel::exam::FormatTimeText;
using qarvel::exam::InvalidOpError;
using qarvel::exam::ParseTimeText;
using qarvel::exam::TimeLocale;
using qarvel::exam::TimeValue;

namespace {

const TimeLocale kLocales[] = {
    {},
    {".", ",", "\xC9\xCF\xCE\xE7", "\xCF\xC2\xCE\xE7"}, // 上午, 下午
    {"\xA3\xBA", "", "", ""},                           // full-width colon, defaults elsewhere
    {":", ".", "a", "p"},
};

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

bool Parse(std::string_view text, const TimeLocale& locale, TimeValue& out) {
    try {
        out = ParseTimeText(text, locale);
        return true;
    } catch (const ConvertError& e) {
        const std::string_view msg = e.what();
        constexpr std::string_view tail = "' is not a valid time";
        Check(msg.starts_with("'") && msg.ends_with(tail) && msg.size() >= 1 + tail.size());
        return false;
    }
}

// A written time is "dd<sep>dd<sep>dd" and reads back as itself.
void CheckWritten(const std::string& text, const TimeLocale& locale) {
    const std::string sep = locale.timeSeparator.empty() ? ":" : locale.timeSeparator;
    Check(text.size() == 6 + 2 * sep.size());
    Check(text.compare(2, sep.size(), sep) == 0 &&
          text.compare(4 + sep.size(), sep.size(), sep) == 0);
    TimeValue back = -1;
    Check(Parse(text, locale, back));
    Check(back >= 0 && back < 1);
    Check(FormatTimeText(back, locale) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    for (const auto& locale : kLocales) {
        TimeValue value = -1;
        if (!Parse(text, locale, value)) {
            continue;
        }
        // A time of day of whole milliseconds.
        Check(value >= 0 && value < 1);
        const double ms = value * 86'400'000.0;
        Check(std::fabs(ms - std::nearbyint(ms)) < 1e-4);
        // Blanks around the whole text change nothing.
        TimeValue padded = -1;
        Check(Parse("  " + text + " ", locale, padded) && padded == value);

        CheckWritten(FormatTimeText(value, locale), locale);
    }

    // Any finite 64-bit value writes a well-formed time; NaN and the
    // infinities have no time of day and give the invalid-operation error.
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        for (const auto& locale : kLocales) {
            if (!std::isfinite(value)) {
                try {
                    (void)FormatTimeText(value, locale);
                    Check(false);
                } catch (const InvalidOpError& e) {
                    Check(std::string_view(e.what()) == "Invalid floating point operation");
                }
                continue;
            }
            const std::string written = FormatTimeText(value, locale);
            CheckWritten(written, locale);
            Check(FormatTimeText(-value, locale) == written);
        }
    }
    return 0;
}
