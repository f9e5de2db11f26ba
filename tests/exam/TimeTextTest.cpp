#include "exam/TimeText.h"

#include "exam/Errors.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

namespace qarvel::exam {
namespace {

constexpr double kMsPerDay = 86'400'000.0;

// GBK bytes of 上午 and 下午.
const std::string kShangwu = "\xC9\xCF\xCE\xE7";
const std::string kXiawu = "\xCF\xC2\xCE\xE7";

long long ParsedMs(const std::string& text, const TimeLocale& locale = {}) {
    return std::llround(ParseTimeText(text, locale) * kMsPerDay);
}

struct Accept {
    std::string text;
    long long ms;
};

TEST(TimeTextParse, AcceptsTheGrammar) {
    const Accept cases[] = {
        {"00:30:00", 30 * 60'000},
        {"1:5", 3'600'000 + 5 * 60'000},
        {"5", 5 * 3'600'000},
        {"  0 : 30 : 00  ", 30 * 60'000},
        {"0:0:0.500", 500},
        {"0:0:0 . 007", 7},
        {"1:30 PM", 13 * 3'600'000 + 30 * 60'000},
        {"1:30pm", 13 * 3'600'000 + 30 * 60'000},
        {"PM 1:30", 13 * 3'600'000 + 30 * 60'000},
        {" pM1:30", 13 * 3'600'000 + 30 * 60'000},
        {"12:15 AM", 15 * 60'000},
        {"12 pm", 12 * 3'600'000},
        {"11:59:59.999 PM", 86'400'000 - 1},
        {"000000001:00", 3'600'000},
        {"23:0000000000000000000000000000000000000059", 23 * 3'600'000 + 59 * 60'000},
        {"0:00:00", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsedMs(c.text), c.ms) << "'" << c.text << "'";
    }
}

TEST(TimeTextParse, RejectsWhatLeavesTheGrammar) {
    const std::string fails[] = {
        "",
        "   ",
        "24:00:00",
        "12:60:00",
        "0:0:60",
        "0:0:0.1000",
        "0:30:",
        "0:30: ",
        ":30",
        "00:30:00:00",
        "1:30.5", // milliseconds only after seconds
        "13:00 PM",
        "0:00 AM",
        "AM 1:00 PM",
        "1:00 AM PM",
        "0\t:30",
        "\t1",
        "\xA3\xB1", // full-width 1
        "1 2",
        "-1:00",
        "+1",
        "1:00 A",
        "1:00 AMX",
        "0x10",
        std::string("1\0", 2),
        "1234567890123456789012345678901234567890",
        "1234567890123456789012345678901234567890:00",
        "0:1234567890123456789012345678901234567890",
    };
    for (const auto& text : fails) {
        EXPECT_THROW(ParseTimeText(text), ConvertError) << "'" << text << "'";
    }
}

TEST(TimeTextParse, ErrorQuotesTheWholeTextInUtf8) {
    try {
        ParseTimeText(" 25:00 " + kXiawu);
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "' 25:00 下午' is not a valid time");
    }
    try {
        ParseTimeText(std::string("1\0 2", 4));
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'1? 2' is not a valid time");
    }
}

TEST(TimeTextParse, LocaleWordsAndSeparators) {
    const TimeLocale zh{".", ",", kShangwu, kXiawu};
    EXPECT_EQ(ParsedMs(kXiawu + "1.30", zh), 13 * 3'600'000 + 30 * 60'000);
    EXPECT_EQ(ParsedMs("12.05 " + kShangwu, zh), 5 * 60'000);
    EXPECT_EQ(ParsedMs("1.2.3,4", zh), 3'600'000 + 2 * 60'000 + 3000 + 4);
    EXPECT_EQ(ParsedMs("1.30 pm", zh), 13 * 3'600'000 + 30 * 60'000); // "PM" always
    // ":" is a time separator under every locale.
    EXPECT_EQ(ParsedMs("1:30", zh), 3'600'000 + 30 * 60'000);
    EXPECT_EQ(ParsedMs("00:30:00", zh), 30 * 60'000);
    EXPECT_EQ(ParsedMs("1.2:3,4", zh), 3'600'000 + 2 * 60'000 + 3000 + 4);
    EXPECT_THROW(ParseTimeText("1:2:3:4", zh), ConvertError);
    EXPECT_THROW(ParseTimeText("1:30,5", zh), ConvertError); // no seconds, no fraction
    EXPECT_THROW(ParseTimeText("1.2.3.4", zh), ConvertError);
    EXPECT_EQ(ParsedMs("1.30 am", zh), 3'600'000 + 30 * 60'000);
}

TEST(TimeTextParse, WordsAreMatchedByCharacterNotByByte) {
    // A double-byte word whose second byte is an ASCII letter is not folded.
    const TimeLocale locale{":", ".",
                            "\x81"
                            "a",
                            "\x81"
                            "b"};
    EXPECT_EQ(ParsedMs("\x81"
                       "b 1",
                       locale),
              13 * 3'600'000);
    EXPECT_THROW(ParseTimeText("\x81"
                               "B 1",
                               locale),
                 ConvertError);
    // Multi-byte separators work as whole texts.
    const TimeLocale wide{"\xA3\xBA", ".", "am", "pm"};
    EXPECT_EQ(ParsedMs("1\xA3\xBA"
                       "05",
                       wide),
              3'600'000 + 5 * 60'000);
}

TEST(TimeTextParse, EmptyWordsNeverMatch) {
    const TimeLocale none{":", ".", "", ""};
    EXPECT_EQ(ParsedMs("13:00", none), 13 * 3'600'000);
    EXPECT_EQ(ParsedMs("1:00 am", none), 3'600'000);
    EXPECT_THROW(ParseTimeText("", none), ConvertError);
}

struct Format {
    double value;
    std::string text;
};

TEST(TimeTextFormat, WritesHoursMinutesSeconds) {
    const double second = 1.0 / 86'400;
    const Format cases[] = {
        {0.0, "00:00:00"},
        {-second, "00:00:01"},
        {1.0, "00:00:00"},
        {1.0 + second, "00:00:01"},
        {(29 * 60 + 59.5) * second, "00:29:59"},
        {(23 * 3600 + 59 * 60 + 59) * second, "23:59:59"},
        {59'999.0 / kMsPerDay, "00:00:59"},     // milliseconds are dropped...
        {59'999.6 / kMsPerDay, "00:01:00"},     // ...after rounding to whole ones
        {86'399'999.6 / kMsPerDay, "00:00:00"}, // rounds up to a whole day
        {-3.5 - 3723 * second, "13:02:03"},
        {std::ldexp(1.0, 60), "00:00:00"},
        {-std::ldexp(1.0, 600), "00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatTimeText(c.value), c.text) << c.value;
    }
    // A value without a time of day is an invalid operation, not midnight.
    for (const double v :
         {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_THROW(FormatTimeText(v), InvalidOpError) << v;
    }
    EXPECT_EQ(FormatTimeText(3723 * second, TimeLocale{".", ",", "", ""}), "01.02.03");
}

TEST(TimeTextFormat, HugeValuesStayWellFormed) {
    for (double v = 1.0; v < 1e300; v *= 7.3) {
        const std::string text = FormatTimeText(v * 1.0001);
        ASSERT_EQ(text.size(), 8u) << v;
        EXPECT_NO_THROW(ParseTimeText(text)) << text;
    }
}

// The clock keeps a time as the value its text reads back as: exactly what
// reading the written text gives, under any locale's separators.
TEST(TimeTextFormat, ShownTimeIsWhatTheTextReadsAs) {
    std::mt19937_64 random(5);
    const TimeLocale dots{".", ",", "am", "pm"};
    for (int round = 0; round < 20000; ++round) {
        const double scale = round % 3 == 0 ? 1.0 : round % 3 == 1 ? 1e3 : 1e-3;
        const double v = (static_cast<double>(random() % 2'000'000'001) / 1e9 - 1.0) * scale;
        const double shown = ShownTime(v);
        ASSERT_EQ(shown, ParseTimeText(FormatTimeText(v))) << v;
        ASSERT_EQ(shown, ParseTimeText(FormatTimeText(v, dots), dots)) << v;
    }
    EXPECT_THROW(ShownTime(std::numeric_limits<double>::infinity()), InvalidOpError);
}

} // namespace
} // namespace qarvel::exam
