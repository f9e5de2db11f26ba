#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qarvel::exam {

// How a file's bytes are read before they reach the view: as GBK as they are,
// or converted from UTF-8 / UTF-16 / UTF-32 (with or without a byte-order mark).
enum class SourceEncoding : std::uint8_t { Gbk, Utf8, Utf8Bom, Utf16Le, Utf16Be, Utf32Le, Utf32Be };
SourceEncoding DetectEncoding(std::string_view fileBytes);
// The length of the byte-order mark that `encoding` begins with (0 for none).
std::size_t ByteOrderMarkSize(SourceEncoding encoding);

// Converts a file's bytes to GBK when they carry a UTF-8/UTF-16 byte-order mark
// or are valid UTF-8 with multi-byte sequences; otherwise returns them as they are.
std::string DecodeToGbk(std::string_view fileBytes);
// The same, taking the bytes: GBK ones are kept as they are, not copied.
std::string DecodeToGbk(std::string&& fileBytes);

} // namespace qarvel::exam
