#include "win/iconv.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <string>
#include <windows.h>

namespace {

// An encoding: a code page of the system, or one of the Unicode forms.
enum class Form : std::uint8_t { CodePage, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

struct Encoding {
    Form form = Form::CodePage;
    unsigned codePage = 0;
};

struct Converter {
    Encoding to;
    Encoding from;
};

constexpr unsigned kGbk = 936;
constexpr unsigned kGb18030 = 54936;
constexpr char32_t kBad = 0xFFFFFFFF;   // cannot be decoded
constexpr char32_t kShort = 0xFFFFFFFE; // cut off at the end

// The system's double-byte code pages map their user-defined areas (GBK's
// A140-A7A0, AAA1-AFFE, F8A1-FEFE) to the private use area; iconv's GBK, BIG5
// and the like have no such characters. GB18030 maps all of Unicode.
bool UserDefined(const Encoding& e, char32_t c) {
    return e.form == Form::CodePage && e.codePage != kGb18030 && c >= 0xE000 && c <= 0xF8FF;
}

bool ParseEncoding(const char* name, Encoding& encoding) {
    std::string upper;
    for (const char* c = name; *c != '\0'; ++c) {
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*c))));
    }
    if (upper == "UTF-8" || upper == "UTF8") {
        encoding.form = Form::Utf8;
    } else if (upper == "UTF-16LE") {
        encoding.form = Form::Utf16Le;
    } else if (upper == "UTF-16BE") {
        encoding.form = Form::Utf16Be;
    } else if (upper == "UTF-32LE") {
        encoding.form = Form::Utf32Le;
    } else if (upper == "UTF-32BE") {
        encoding.form = Form::Utf32Be;
    } else if (upper == "GBK" || upper == "CP936" || upper == "GB2312") {
        encoding.codePage = kGbk;
    } else if (upper == "GB18030") {
        encoding.codePage = kGb18030;
    } else if (upper == "BIG5") {
        encoding.codePage = 950;
    } else if (upper == "ASCII") {
        encoding.codePage = 20127;
    } else if (upper == "MACINTOSH") {
        encoding.codePage = 10000;
    } else if (upper.starts_with("CP") && upper.size() > 2) {
        unsigned number = 0;
        for (std::size_t i = 2; i < upper.size(); ++i) {
            if (upper[i] < '0' || upper[i] > '9' || number > 100000) {
                return false;
            }
            number = number * 10 + static_cast<unsigned>(upper[i] - '0');
        }
        if (number == 65001) {
            encoding.form = Form::Utf8;
        } else if (IsValidCodePage(number) == FALSE) {
            return false;
        }
        encoding.codePage = number;
    } else {
        return false;
    }
    return true;
}

char32_t Surrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// Decodes one character at `in` (`left` bytes there); its length in `used`.
char32_t Decode(const Encoding& e, const unsigned char* in, std::size_t left, std::size_t& used) {
    switch (e.form) {
    case Form::Utf16Le:
    case Form::Utf16Be: {
        const auto unit = [&](std::size_t i) -> char32_t {
            return e.form == Form::Utf16Le ? char32_t(in[i] | in[i + 1] << 8)
                                           : char32_t(in[i] << 8 | in[i + 1]);
        };
        if (left < 2) {
            return kShort;
        }
        const char32_t first = unit(0);
        used = 2;
        if (first >= 0xDC00 && first <= 0xDFFF) {
            return kBad;
        }
        if (first < 0xD800 || first > 0xDBFF) {
            return first;
        }
        if (left < 4) {
            return kShort;
        }
        const char32_t second = unit(2);
        if (second < 0xDC00 || second > 0xDFFF) {
            return kBad;
        }
        used = 4;
        return Surrogates(first, second);
    }
    case Form::Utf32Le:
    case Form::Utf32Be: {
        if (left < 4) {
            return kShort;
        }
        used = 4;
        const char32_t c = e.form == Form::Utf32Le
                               ? char32_t(in[0] | in[1] << 8 | in[2] << 16 | char32_t(in[3]) << 24)
                               : char32_t(char32_t(in[0]) << 24 | in[1] << 16 | in[2] << 8 | in[3]);
        return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? kBad : c;
    }
    case Form::Utf8: {
        const unsigned char lead = in[0];
        used = 1;
        if (lead < 0x80) {
            return lead;
        }
        std::size_t length = 0;
        char32_t c = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, c = lead & 0x1Fu, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, c = lead & 0x0Fu, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, c = lead & 0x07u, least = 0x10000;
        } else {
            return kBad;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if (i >= left) {
                return kShort;
            }
            if ((in[i] & 0xC0) != 0x80) {
                return kBad;
            }
            c = c << 6 | (in[i] & 0x3Fu);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return kBad;
        }
        used = length;
        return c;
    }
    case Form::CodePage:
        break;
    }
    used = 1;
    if (in[0] < 0x80) {
        return in[0];
    }
    std::size_t length = 1;
    if (IsDBCSLeadByteEx(e.codePage, in[0]) != FALSE || e.codePage == kGb18030) {
        length = 2;
        if (e.codePage == kGb18030 && left >= 2 && in[1] >= 0x30 && in[1] <= 0x39) {
            length = 4;
        }
    } else if (e.codePage == kGbk) {
        return kBad; // GBK has no single byte above 127
    }
    if (left < length) {
        return kShort;
    }
    wchar_t wide[2] = {};
    const int got =
        MultiByteToWideChar(e.codePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(in),
                            static_cast<int>(length), wide, 2);
    if (got == 1 && (wide[0] < 0xD800 || wide[0] > 0xDFFF) && !UserDefined(e, wide[0])) {
        used = length;
        return wide[0];
    }
    if (got == 2 && wide[0] >= 0xD800 && wide[0] <= 0xDBFF) {
        used = length;
        return Surrogates(wide[0], wide[1]);
    }
    return kBad;
}

// Encodes `c` into `out` (`room` bytes); the bytes written, 0 when the target
// has no such character, -1 when there is no room.
long Encode(const Encoding& e, char32_t c, unsigned char* out, std::size_t room) {
    unsigned char bytes[8];
    std::size_t n = 0;
    const auto put16 = [&](char32_t unit) {
        if (e.form == Form::Utf16Le) {
            bytes[n++] = static_cast<unsigned char>(unit & 0xFF);
            bytes[n++] = static_cast<unsigned char>(unit >> 8);
        } else {
            bytes[n++] = static_cast<unsigned char>(unit >> 8);
            bytes[n++] = static_cast<unsigned char>(unit & 0xFF);
        }
    };
    switch (e.form) {
    case Form::Utf8:
        if (c < 0x80) {
            bytes[n++] = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            bytes[n++] = static_cast<unsigned char>(0xC0 | c >> 6);
            bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes[n++] = static_cast<unsigned char>(0xE0 | c >> 12);
            bytes[n++] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
            bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            bytes[n++] = static_cast<unsigned char>(0xF0 | c >> 18);
            bytes[n++] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
            bytes[n++] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
            bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
        break;
    case Form::Utf16Le:
    case Form::Utf16Be:
        if (c >= 0x10000) {
            put16(0xD800 + ((c - 0x10000) >> 10));
            put16(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put16(c);
        }
        break;
    case Form::Utf32Le:
    case Form::Utf32Be:
        for (int i = 0; i < 4; ++i) {
            const int shift = e.form == Form::Utf32Le ? 8 * i : 8 * (3 - i);
            bytes[n++] = static_cast<unsigned char>(c >> shift & 0xFF);
        }
        break;
    case Form::CodePage: {
        if (c < 0x80) {
            bytes[n++] = static_cast<unsigned char>(c);
            break;
        }
        if (UserDefined(e, c)) {
            return 0;
        }
        wchar_t wide[2];
        int units = 1;
        if (c >= 0x10000) {
            wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            units = 2;
        } else {
            wide[0] = static_cast<wchar_t>(c);
        }
        BOOL usedDefault = FALSE;
        const bool gb18030 = e.codePage == kGb18030;
        const int got = WideCharToMultiByte(e.codePage, gb18030 ? 0 : WC_NO_BEST_FIT_CHARS, wide,
                                            units, reinterpret_cast<char*>(bytes), sizeof bytes,
                                            nullptr, gb18030 ? nullptr : &usedDefault);
        if (got <= 0 || usedDefault != FALSE) {
            return 0;
        }
        // GBK proper has no single byte above 127 (code page 936 puts the euro there).
        if (e.codePage == kGbk && got == 1 && bytes[0] >= 0x80) {
            return 0;
        }
        n = static_cast<std::size_t>(got);
        break;
    }
    }
    if (n > room) {
        return -1;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = bytes[i];
    }
    return static_cast<long>(n);
}

} // namespace

iconv_t iconv_open(const char* to, const char* from) {
    Converter converter;
    if (to == nullptr || from == nullptr || !ParseEncoding(to, converter.to) ||
        !ParseEncoding(from, converter.from)) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    return new Converter(converter);
}

int iconv_close(iconv_t cd) {
    delete static_cast<Converter*>(cd);
    return 0;
}

std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft) {
    const auto* converter = static_cast<const Converter*>(cd);
    if (in == nullptr || *in == nullptr || inLeft == nullptr) {
        return 0; // no shift state to reset or flush
    }
    while (*inLeft > 0) {
        const auto* src = reinterpret_cast<const unsigned char*>(*in);
        std::size_t used = 0;
        const char32_t c = Decode(converter->from, src, *inLeft, used);
        if (c == kShort) {
            errno = EINVAL;
            return static_cast<std::size_t>(-1);
        }
        if (c == kBad) {
            errno = EILSEQ;
            return static_cast<std::size_t>(-1);
        }
        const long wrote =
            Encode(converter->to, c, reinterpret_cast<unsigned char*>(*out), *outLeft);
        if (wrote < 0) {
            errno = E2BIG;
            return static_cast<std::size_t>(-1);
        }
        if (wrote == 0) {
            errno = EILSEQ;
            return static_cast<std::size_t>(-1);
        }
        *in += used;
        *inLeft -= used;
        *out += wrote;
        *outLeft -= static_cast<std::size_t>(wrote);
    }
    return 0;
}
