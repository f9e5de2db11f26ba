#include "GbkText.h"

#include "exam/Gbk.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <memory>

namespace qarvel::platform {

namespace {

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
        char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        char out[4];
        char* src = in;
        char* dst = out;
        std::size_t srcLeft = sizeof in;
        std::size_t dstLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        const auto n = dst - out;
        if (rc == static_cast<std::size_t>(-1) || srcLeft != 0 || n < 1 || n > 2) {
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

} // namespace qarvel::platform
