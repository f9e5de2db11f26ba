#include "SourceEncoding.h"

#include "Gbk.h"

#include <algorithm>
#include <utility>

namespace qarvel::exam {
namespace {

// Telling UTF-8 from GBK.

bool IsGb2312Pair(unsigned char lead, unsigned char trail) {
    return lead >= 0xA1 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE;
}

// True when every byte above 127 pairs up as a character of the common GBK area
// (GB2312: symbols, punctuation and the hanzi ordinary text uses).
bool ReadsAsCommonGbk(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            continue;
        }
        if (i + 1 >= s.size() || !IsGb2312Pair(b, static_cast<unsigned char>(s[i + 1]))) {
            return false;
        }
        ++i;
    }
    return true;
}

// A file without a byte-order mark is taken as UTF-8 when it is valid UTF-8 with
// multi-byte characters. Short GBK texts can be valid UTF-8 by chance ("路" is
// C2 B7, "·" in UTF-8), so a text that also reads as common GBK needs more:
// a character of three or four bytes (as Chinese has in UTF-8), all of which
// GBK can hold.
bool LooksLikeUtf8(std::string_view s) {
    // Validity first: GBK text fails it within its first Chinese character.
    if (!IsValidUtf8(s)) {
        return false;
    }
    bool multiByte = false;
    bool wide = false;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        multiByte = multiByte || b >= 0x80;
        wide = wide || b >= 0xE0;
    }
    if (!multiByte) {
        return false;
    }
    if (!ReadsAsCommonGbk(s)) {
        return true;
    }
    if (!wide) {
        return false;
    }
    // A character GBK lacks turns into '?': a sign that this was GBK all along.
    const std::string gbk = Utf8ToGbk(s);
    return std::count(gbk.begin(), gbk.end(), '?') == std::count(s.begin(), s.end(), '?');
}

} // namespace

SourceEncoding DetectEncoding(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (bytes.starts_with("\xEF\xBB\xBF"sv)) {
        return SourceEncoding::Utf8Bom;
    }
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    if (bytes.starts_with("\xFF\xFE\0\0"sv)) {
        return SourceEncoding::Utf32Le;
    }
    if (bytes.starts_with("\0\0\xFE\xFF"sv)) {
        return SourceEncoding::Utf32Be;
    }
    if (bytes.starts_with("\xFF\xFE"sv)) {
        return SourceEncoding::Utf16Le;
    }
    if (bytes.starts_with("\xFE\xFF"sv)) {
        return SourceEncoding::Utf16Be;
    }
    return LooksLikeUtf8(bytes) ? SourceEncoding::Utf8 : SourceEncoding::Gbk;
}

std::size_t ByteOrderMarkSize(SourceEncoding encoding) {
    switch (encoding) {
    case SourceEncoding::Utf8Bom:
        return 3;
    case SourceEncoding::Utf16Le:
    case SourceEncoding::Utf16Be:
        return 2;
    case SourceEncoding::Utf32Le:
    case SourceEncoding::Utf32Be:
        return 4;
    case SourceEncoding::Gbk:
    case SourceEncoding::Utf8:
        break;
    }
    return 0;
}

std::string DecodeToGbk(std::string_view bytes) {
    return DecodeToGbk(std::string(bytes));
}

std::string DecodeToGbk(std::string&& bytes) {
    const SourceEncoding encoding = DetectEncoding(bytes);
    const std::string_view text = std::string_view(bytes).substr(ByteOrderMarkSize(encoding));
    switch (encoding) {
    case SourceEncoding::Utf8:
    case SourceEncoding::Utf8Bom:
        return Utf8ToGbk(text);
    case SourceEncoding::Utf32Le:
        return ConvertToGbk(text, "UTF-32LE");
    case SourceEncoding::Utf32Be:
        return ConvertToGbk(text, "UTF-32BE");
    case SourceEncoding::Utf16Le:
        return Utf16ToGbk(text, false);
    case SourceEncoding::Utf16Be:
        return Utf16ToGbk(text, true);
    case SourceEncoding::Gbk:
        break;
    }
    return std::move(bytes);
}

} // namespace qarvel::exam
