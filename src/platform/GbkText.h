#pragma once

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

} // namespace qarvel::platform
