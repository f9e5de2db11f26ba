#include "GbkText.h"

#include "exam/Gbk.h"

namespace qarvel::platform {

std::string ToGbk(const QString& text) {
    QString t = text;
    t.replace(QChar(0x2029), QChar('\n'));
    t.replace(QChar(0x2028), QChar('\n'));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    t.replace(QChar('\n'), QStringLiteral("\r\n"));
    const QByteArray utf8 = t.toUtf8();
    return exam::Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString FromGbk(std::string_view gbk) {
    const std::string utf8 = exam::GbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

int GbkLength(const QString& text) { return static_cast<int>(ToGbk(text).size()); }

} // namespace qarvel::platform
