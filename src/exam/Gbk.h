#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qarvel::exam {

// Byte classes used for counting and judging.
constexpr bool IsControlByte(unsigned char b) {
    return b <= 32;
}
constexpr bool IsSingleByteChar(unsigned char b) {
    return b >= 33 && b <= 126;
}
constexpr bool IsHighByte(unsigned char b) {
    return b >= 127;
}
// A byte from 129 to 254 and the byte after it form one character of the view.
constexpr bool IsLeadByte(unsigned char b) {
    return b >= 129 && b <= 254;
}

inline unsigned char ByteAt(std::string_view s, std::int64_t i) {
    return static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
}

// Conversions between GBK and UTF-8/UTF-16 through iconv. A character that the
// target cannot hold becomes "?"; undecodable input bytes become "?" too.
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);
// UTF-16 code units in the given byte order, without a byte-order mark.
std::string Utf16ToGbk(std::string_view bytes, bool bigEndian);
// Any iconv encoding name (e.g. "CP1252") to GBK.
std::string ConvertToGbk(std::string_view bytes, const char* fromEncoding);

// Any iconv encoding name to UTF-8; undecodable input becomes "?".
std::string ConvertToUtf8(std::string_view bytes, const char* fromEncoding);
// Appends a code point (at most 0x10FFFF) as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t codePoint);

// True when `bytes` is well-formed UTF-8 (shortest forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

} // namespace qarvel::exam
