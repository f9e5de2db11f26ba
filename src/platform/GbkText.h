#pragma once

#include "exam/SourceIndex.h"

#include <QString>
#include <string>
#include <string_view>

namespace qarvel::platform {

// Qt text to GBK bytes; every line break (\n, U+2029, U+2028) becomes CR LF.
// A character outside GBK becomes "?".
std::string ToGbk(const QString& text);
// GBK bytes to Qt text, CR LF kept as "\r\n". Undecodable bytes become "?".
QString FromGbk(std::string_view gbk);
// GBK byte length of a text without line breaks (a character outside GBK counts as "?").
int GbkLength(const QString& text);
// The characters [from, to) of an indexed source as shown: one UTF-16 unit per
// character, a line break as '\n', U+FFFD for a character that does not decode
// to one character of the basic plane. The range is clamped to the text.
QString ShownCharacters(const exam::SourceIndex& index, int from, int to);

} // namespace qarvel::platform
