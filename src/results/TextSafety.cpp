#include "TextSafety.h"

#include "identity/Identity.h"

#include <QList>

namespace qarvel::results {
namespace {

bool IsBidiControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool IsHidden(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || IsBidiControl(c) || identity::IsInvisible(c) ||
           category == QChar::Other_Format || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph || category == QChar::Other_Surrogate ||
           QChar::isNonCharacter(c);
}

// Calls `each` with every character of `text` (a broken surrogate half as itself).
template <typename Each> void ForEachCharacter(const QString& text, Each each) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            each(QChar::surrogateToUcs4(ch, text[i + 1]), i, 2);
            ++i;
        } else {
            each(char32_t(ch.unicode()), i, 1);
        }
    }
}

} // namespace

bool HasHiddenCharacters(const QString& text) {
    bool hidden = false;
    ForEachCharacter(text, [&](char32_t c, qsizetype, int) { hidden = hidden || IsHidden(c); });
    return hidden;
}

QString VisiblyEscaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    ForEachCharacter(text, [&](char32_t c, qsizetype i, int units) {
        if (IsHidden(c)) {
            out += QStringLiteral("<U+%1>").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
        } else {
            out += QStringView(text).mid(i, units);
        }
    });
    return out;
}

QString ForWorkbook(const QString& text) {
    static const QString cut = QStringLiteral("…（已截断）");
    const bool tooLong = text.size() > kCellLimit;
    const qsizetype room = tooLong ? kCellLimit - cut.size() : kCellLimit;
    QString out;
    out.reserve(std::min(text.size(), kCellLimit));
    ForEachCharacter(text, [&](char32_t c, qsizetype i, int units) {
        if (out.size() + units > room) {
            return;
        }
        const bool invalid = (c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF ||
                             (units == 1 && QChar::isSurrogate(c));
        if (invalid) {
            out += QChar(0xFFFD);
        } else {
            out += QStringView(text).mid(i, units);
        }
    });
    if (tooLong) {
        out += cut;
    }
    return out;
}

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
