#include "Identity.h"

#include <QList>

namespace qarvel::identity {

bool IsInvisible(char32_t c) {
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           (c >= 0x180B && c <= 0x180F) || c == 0x3164 || c == 0xFFA0 ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF) || c == 0x2800;
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

} // namespace qarvel::identity
