#pragma once

#include <QString>

namespace qarvel::results {

// Text from a record or a user, made safe to print on a terminal: every C0
// and C1 control character (ESC included, so no escape sequence survives)
// becomes a visible picture of it or U+FFFD, and so do the bidirectional
// controls that would reorder what follows, line and paragraph separators,
// and halves of broken surrogate pairs.
QString ForTerminal(const QString& text);

// A name or number as a person reads it: Unicode compatibility
// normalisation (NFKC: full-width digits are digits), format and invisible
// characters removed (zero-width space, bidirectional marks, soft hyphen,
// fillers), every run of blanks one space, none at either end.
QString NormalizedIdentity(const QString& text);

// The key under which two numbers are the same number: as above, and
// without regard to case.
QString NumberKey(const QString& number);

} // namespace qarvel::results
