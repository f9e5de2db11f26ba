#pragma once

#include <QString>

namespace qarvel::results {

// Text from a record or a user, made safe to print on a terminal: every C0
// and C1 control character (ESC included, so no escape sequence survives)
// becomes a visible picture of it or U+FFFD, and so do the bidirectional
// controls that would reorder what follows, line and paragraph separators,
// and halves of broken surrogate pairs.
QString ForTerminal(const QString& text);

} // namespace qarvel::results
