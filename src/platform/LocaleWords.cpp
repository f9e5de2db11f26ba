#include "LocaleWords.h"

#include "GbkText.h"

namespace qarvel::platform {
namespace {

// The text between the hours and the minutes of a time format such as "HH:mm",
// "h.mm AP" or "H'h'mm"; quotes are dropped.
QString TimeSeparator(const QString& format) {
    qsizetype i = 0;
    while (i < format.size() && format[i] != 'h' && format[i] != 'H') {
        ++i;
    }
    if (i == format.size()) {
        return {};
    }
    while (i < format.size() && (format[i] == 'h' || format[i] == 'H')) {
        ++i;
    }
    const qsizetype minutes = format.indexOf(QChar('m'), i);
    if (minutes < 0) {
        return {};
    }
    QString separator = format.mid(i, minutes - i);
    separator.remove(QChar('\''));
    return separator;
}

void Take(std::string& word, const QString& text) {
    if (!text.isEmpty()) {
        word = ToGbk(text);
    }
}

} // namespace

exam::TimeLocale TimeLocaleOf(const QLocale& locale) {
    exam::TimeLocale words;
    Take(words.timeSeparator, TimeSeparator(locale.timeFormat(QLocale::ShortFormat)));
    Take(words.decimalSeparator, locale.decimalPoint());
    Take(words.amWord, locale.amText());
    Take(words.pmWord, locale.pmText());
    return words;
}

exam::TimeLocale SystemTimeLocale() {
    return TimeLocaleOf(QLocale::system());
}

} // namespace qarvel::platform
