#include "TextSafety.h"

#include <QList>

namespace qarvel::results {
namespace {

bool IsBidiControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// Characters that show nothing although they are not format characters.
bool IsInvisible(char32_t c) {
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           (c >= 0x180B && c <= 0x180F) || c == 0x3164 || c == 0xFFA0 ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF) || c == 0x2800;
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

QString NormalizedIdentity(const QString& text) {
    const QString normal = text.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(normal.size());
    bool blank = false;
    for (const uint c : normal.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (QChar::isSpace(c) || category == QChar::Separator_Space ||
            category == QChar::Separator_Line || category == QChar::Separator_Paragraph) {
            blank = true;
            continue;
        }
        if (category == QChar::Other_Control || category == QChar::Other_Format ||
            category == QChar::Other_Surrogate || IsInvisible(c)) {
            continue;
        }
        if (blank && !out.isEmpty()) {
            out += QLatin1Char(' ');
        }
        blank = false;
        const char32_t one = c;
        out += QString::fromUcs4(&one, 1);
    }
    return out;
}

QString NumberKey(const QString& number) {
    return NormalizedIdentity(number).toCaseFolded();
}

} // namespace qarvel::results
