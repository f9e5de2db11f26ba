#pragma once

#include <QString>

// How a person's name and number are read: by the login, which takes them,
// and by the results, which compare them. Qt Core only.
namespace qarvel::identity {

// A name or number as a person reads it: Unicode compatibility
// normalisation (NFKC: full-width digits are digits), format and invisible
// characters removed (zero-width space, bidirectional marks, soft hyphen,
// fillers), every run of blanks one space, none at either end.
QString NormalizedIdentity(const QString& text);

// Whether `c` shows nothing although it is not a format character (fillers,
// variation selectors, the blank Braille pattern).
bool IsInvisible(char32_t c);

// The key under which two numbers are the same number: as above, and
// without regard to case.
QString NumberKey(const QString& number);

} // namespace qarvel::identity
