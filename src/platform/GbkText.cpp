#include "GbkText.h"

#include "exam/Gbk.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iconv.h>
#include <memory>
#include <vector>

namespace qarvel::platform {

namespace {

// One conversion through iconv of a character's bytes; the bytes converted, or
// nothing (0) when iconv cannot convert them all.
std::size_t Convert(iconv_t cd, const char* bytes, std::size_t size, char* out, std::size_t room) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in(bytes, size); // iconv takes its input as a changeable buffer
    char* src = in.data();
    char* dst = out;
    std::size_t srcLeft = size;
    std::size_t dstLeft = room;
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (rc == static_cast<std::size_t>(-1) || srcLeft != 0) {
        return 0;
    }
    return static_cast<std::size_t>(dst - out);
}

// The GBK bytes of each character of the basic plane, asked of iconv the first
// time the character is met and kept: converting a long answer on every
// keystroke must not cost a trip through iconv for every character. Kept in
// pages of 256 characters made as they are met: a text uses a few dozen of the
// 256 pages.
class GbkTable {
public:
    GbkTable() : cd_(iconv_open("GBK", "UTF-16LE")) {}
    ~GbkTable() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd_);
        }
    }
    GbkTable(const GbkTable&) = delete;
    GbkTable& operator=(const GbkTable&) = delete;

    // Appends the bytes of `c` (not a surrogate); "?" when GBK has no such character.
    void Append(std::string& out, char16_t c) {
        std::unique_ptr<Page>& page = pages_[c >> 8];
        if (!page) {
            page = std::make_unique<Page>();
            page->fill(kUnknown);
        }
        std::uint16_t& code = (*page)[c & 0xFF];
        if (code == kUnknown) {
            code = Ask(c);
        }
        if (code > 0xFF) {
            out.push_back(static_cast<char>(code >> 8));
        }
        out.push_back(static_cast<char>(code & 0xFF));
    }

private:
    // 0xFFFF is no GBK code: a trail byte is never 0xFF.
    static constexpr std::uint16_t kUnknown = 0xFFFF;

    std::uint16_t Ask(char16_t c) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            return '?';
        }
        const char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        char out[4];
        const std::size_t n = Convert(cd_, in, sizeof in, out, sizeof out);
        if (n < 1 || n > 2) {
            return '?';
        }
        const auto first = static_cast<unsigned char>(out[0]);
        return n == 1 ? first
                      : static_cast<std::uint16_t>(first << 8 | static_cast<unsigned char>(out[1]));
    }

    using Page = std::array<std::uint16_t, 256>;
    iconv_t cd_;
    std::array<std::unique_ptr<Page>, 256> pages_;
};

constexpr char16_t kReplacement = 0xFFFD;

// The characters of GBK groups (a lead byte and the byte after it, or a byte of
// 128 or more alone), asked of iconv once per group met and kept, so showing a
// text costs one table look-up per character.
class ShownTable {
public:
    ShownTable() : cd_(iconv_open("UTF-16LE", "GBK")), pairs_(kLeads * 256, kUnknown) {
        singles_.fill(kUnknown);
    }
    ~ShownTable() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    ShownTable(const ShownTable&) = delete;
    ShownTable& operator=(const ShownTable&) = delete;

    // The one UTF-16 unit of the group `lead`, `trail`, or U+FFFD when it does
    // not decode to exactly one character of the basic plane.
    char16_t Decode(unsigned char lead, unsigned char trail) {
        char16_t& unit = pairs_[static_cast<std::size_t>(lead - kFirstLead) * 256 + trail];
        if (unit == kUnknown) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            unit = Ask(in, 2);
        }
        return unit;
    }
    // The same for a byte of 128 or more standing alone.
    char16_t Decode(unsigned char single) {
        char16_t& unit = singles_[single & 0x7F];
        if (unit == kUnknown) {
            const char in[1] = {static_cast<char>(single)};
            unit = Ask(in, 1);
        }
        return unit;
    }

private:
    static constexpr int kFirstLead = 0x81;
    static constexpr int kLeads = 0xFE - kFirstLead + 1;
    static constexpr char16_t kUnknown = 0; // no group decodes to U+0000

    [[nodiscard]] bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    char16_t Ask(const char* bytes, std::size_t size) {
        char out[8];
        if (!valid() || Convert(cd_, bytes, size, out, sizeof out) != 2) {
            return kReplacement;
        }
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
        return unit == kUnknown || QChar::isSurrogate(unit) ? kReplacement : unit;
    }

    iconv_t cd_;
    std::vector<char16_t> pairs_;
    std::array<char16_t, 128> singles_{};
};

} // namespace

std::string ToGbk(const QString& text) {
    static GbkTable table;
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()) * 2);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 && c != '\r' && c != '\n') {
            out.push_back(static_cast<char>(c));
        } else if (c == '\r' || c == '\n' || c == 0x2028 || c == 0x2029) {
            // Every line break is CR LF; a CR followed by another line break stays one.
            if (c == '\r' && i + 1 < n) {
                const char16_t next = text[i + 1].unicode();
                if (next == '\n' || next == 0x2028 || next == 0x2029) {
                    ++i;
                }
            }
            out += "\r\n";
        } else if (QChar::isSurrogate(c)) {
            // Outside GBK: one "?" for a pair, as for a lone half.
            if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
                ++i;
            }
            out.push_back('?');
        } else {
            table.Append(out, c);
        }
    }
    return out;
}

QString FromGbk(std::string_view gbk) {
    const std::string utf8 = exam::GbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

int GbkLength(const QString& text) {
    return static_cast<int>(ToGbk(text).size());
}

QString ShownCharacters(const exam::SourceIndex& index, int from, int to) {
    static ShownTable table;
    from = std::clamp(from, 0, index.characterCount());
    to = std::clamp(to, from, index.characterCount());
    QString text(to - from, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    index.forEachCharacter(from, to, [&](const unsigned char* group, std::size_t size) {
        const unsigned char b = group[0];
        if (b < 0x80 && b != '\r' && b != '\n') {
            *out++ = b;
        } else if (b == '\r' || b == '\n') {
            *out++ = u'\n';
        } else {
            *out++ = size == 2 ? table.Decode(b, group[1]) : table.Decode(b);
        }
    });
    return text;
}

} // namespace qarvel::platform
