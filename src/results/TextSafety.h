#pragma once

#include <QString>

namespace qarvel::results {

// Text from a record or a user, made safe to print on a terminal: every C0
// and C1 control character (ESC included, so no escape sequence survives)
// becomes a visible picture of it or U+FFFD, and so do the bidirectional
// controls that would reorder what follows, line and paragraph separators,
// and halves of broken surrogate pairs.
QString ForTerminal(const QString& text);

// Whether `text` holds a character a person does not see as such: a control
// character, a bidirectional control, a format or invisible character, a
// line or paragraph separator, a noncharacter or half of a broken surrogate pair.
bool HasHiddenCharacters(const QString& text);

// `text` with every character HasHiddenCharacters looks for written out
// visibly as "<U+202E>", so that a reversed or padded number shows as what it is.
QString VisiblyEscaped(const QString& text);

// The most a workbook's cell holds (UTF-16 units), as spreadsheets read them.
inline constexpr qsizetype kCellLimit = 32767;
// Text a workbook's XML can hold: control characters but tab and line feed,
// U+FFFE, U+FFFF and halves of broken surrogate pairs become U+FFFD; text
// longer than a cell holds is cut, ending in "…（已截断）".
QString ForWorkbook(const QString& text);

} // namespace qarvel::results
