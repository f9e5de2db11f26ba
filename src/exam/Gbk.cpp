#include "Gbk.h"

#include <cerrno>
#include <iconv.h>

namespace qarvel::exam {
namespace {

// Converts with iconv; an input sequence that cannot be decoded, or a character
// the target cannot hold, becomes "?" and the conversion goes on after it.
std::string Convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(in);
    }
    std::string out;
    out.reserve(in.size() + in.size() / 2 + 16);
    char buffer[4096];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    // A UTF-16 or UTF-32 source needs whole code units when skipping a bad one.
    const std::string_view fromName(from);
    const std::size_t unit = fromName.starts_with("UTF-16")   ? 2
                             : fromName.starts_with("UTF-32") ? 4
                                                              : 1;
    const bool bigEndian = fromName.ends_with("BE");
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1)) {
            continue;
        }
        // Taken at once: the appends below may allocate and touch errno.
        const int err = errno;
        if (err == E2BIG) {
            continue;
        }
        // EILSEQ: bad or unconvertible input; EINVAL: a truncated sequence at the end.
        out.push_back('?');
        std::size_t skip = unit;
        if (unit == 2 && err == EILSEQ && srcLeft >= 4) {
            // A surrogate pair that the target cannot hold is one character: one "?".
            const auto u8 = [&](std::size_t i) {
                return static_cast<unsigned>(static_cast<unsigned char>(src[i]));
            };
            const unsigned first = bigEndian ? (u8(0) << 8 | u8(1)) : (u8(1) << 8 | u8(0));
            const unsigned second = bigEndian ? (u8(2) << 8 | u8(3)) : (u8(3) << 8 | u8(2));
            if (first >= 0xD800 && first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF) {
                skip = 4;
            }
        }
        if (unit == 1 && err == EILSEQ) {
            // Skip one whole UTF-8 character when we can tell its length.
            const auto lead = static_cast<unsigned char>(*src);
            std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (fromName != "UTF-8") {
                len = 1;
            }
            skip = len;
            for (std::size_t i = 1; i < len && i < srcLeft; ++i) {
                if ((static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) {
                    skip = i;
                    break;
                }
            }
        }
        if (err == EINVAL) {
            skip = srcLeft;
        }
        skip = skip > srcLeft ? srcLeft : skip;
        src += skip;
        srcLeft -= skip;
    }
    // Flush any shift state.
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    iconv_close(cd);
    return out;
}

} // namespace

std::string Utf8ToGbk(std::string_view utf8) {
    return Convert(utf8, "GBK", "UTF-8");
}

std::string GbkToUtf8(std::string_view gbk) {
    return Convert(gbk, "UTF-8", "GBK");
}

std::string Utf16ToGbk(std::string_view bytes, bool bigEndian) {
    return Convert(bytes, "GBK", bigEndian ? "UTF-16BE" : "UTF-16LE");
}

std::string ConvertToGbk(std::string_view bytes, const char* fromEncoding) {
    return Convert(bytes, "GBK", fromEncoding);
}

std::string ConvertToUtf8(std::string_view bytes, const char* fromEncoding) {
    return Convert(bytes, "UTF-8", fromEncoding);
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    const auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | cp >> 6);
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | cp >> 12);
        put(0x80 | (cp >> 6 & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | cp >> 18);
        put(0x80 | (cp >> 12 & 0x3F));
        put(0x80 | (cp >> 6 & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + len > n) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

} // namespace qarvel::exam
