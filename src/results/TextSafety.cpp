#include "TextSafety.h"

#include <QList>

namespace qarvel::results {
namespace {

bool IsBidiControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString ForTerminal(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        char32_t c = ch.unicode();
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += ch;
            out += text[++i];
            continue;
        }
        if (ch.isSurrogate()) {
            out += QChar(0xFFFD);
        } else if (c < 0x20) {
            out += QChar(char16_t(0x2400 + c)); // ␛ for ESC, ␊ for a line feed
        } else if (c == 0x7F) {
            out += QChar(0x2421);
        } else if ((c >= 0x80 && c <= 0x9F) || IsBidiControl(c) || c == 0x2028 || c == 0x2029) {
            out += QChar(0xFFFD);
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace qarvel::results
