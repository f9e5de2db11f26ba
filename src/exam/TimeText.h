#pragma once

#include <string>
#include <string_view>

namespace qarvel::exam {

// The user locale's words for reading and writing times (GBK bytes).
// An empty word never matches.
struct TimeLocale {
    std::string timeSeparator = ":";
    std::string decimalSeparator = ".";
    std::string amWord = "am";
    std::string pmWord = "pm";
};

// A time value is a signed fraction of a day.
using TimeValue = double;

// Reads "h[:m[:s[.ms]]]" with optional am/pm designator before or after; ":"
// separates the parts under every locale, and the locale's own separator too.
// Throws ConvertError "'<text>' is not a valid time".
TimeValue ParseTimeText(std::string_view text, const TimeLocale& locale = {});

// Always "hh:nn:ss" with the locale's time separator; sign and whole days dropped.
std::string FormatTimeText(TimeValue value, const TimeLocale& locale = {});

// What FormatTimeText(value) reads back as: the whole seconds it shows.
// Throws InvalidOpError where FormatTimeText does.
TimeValue ShownTime(TimeValue value);

} // namespace qarvel::exam
