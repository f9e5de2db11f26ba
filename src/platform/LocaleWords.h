#pragma once

#include "exam/TimeText.h"

#include <QLocale>

namespace qarvel::platform {

// The locale's words for reading and writing time texts, in GBK: the time
// separator (taken from its short time format), the decimal separator and the
// morning and afternoon words. A word the locale does not give keeps its default
// (":", ".", "am", "pm").
exam::TimeLocale TimeLocaleOf(const QLocale& locale);

// The same for the user's current locale.
exam::TimeLocale SystemTimeLocale();

} // namespace qarvel::platform
