// Qt text to GBK: the table-driven conversion gives what iconv gives.
#include "platform/GbkText.h"

#include "exam/Gbk.h"

#include <QtTest>

using qarvel::platform::FromGbk;
using qarvel::platform::ToGbk;

namespace {

// The conversion spelled out through iconv, line breaks first.
std::string Reference(const QString& text) {
    QString t = text;
    t.replace(QChar(0x2029), QChar('\n'));
    t.replace(QChar(0x2028), QChar('\n'));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    t.replace(QChar('\n'), QStringLiteral("\r\n"));
    const QByteArray utf8 = t.toUtf8();
    return qarvel::exam::Utf8ToGbk({utf8.constData(), std::size_t(utf8.size())});
}

} // namespace

class GbkTextTest : public QObject {
    Q_OBJECT

private slots:
    void everyCharacterOfTheBasicPlaneAsIconvHasIt() {
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000) {
                continue;
            }
            const QString text = QString(QChar(char16_t(c))) + QChar(u'x');
            if (ToGbk(text) != Reference(text)) {
                QFAIL(qPrintable(QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar('0'))));
            }
        }
    }

    void specialTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("line breaks") << QStringLiteral("a\r\nb\nc\rd\u2028e\u2029f\r\u2029g\r\r\n");
        QTest::newRow("surrogate pair") << QStringLiteral("汉😀字");
        QTest::newRow("lone high") << (QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b"));
        QTest::newRow("lone low at end") << (QStringLiteral("a") + QChar(0xDE00));
        QTest::newRow("NUL") << QString(QChar(0)) + QStringLiteral("x");
        QTest::newRow("mixed") << QStringLiteral("2026年的秋天来得很早。ab 全角　空格€");
    }
    void specialTexts() {
        QFETCH(QString, text);
        QCOMPARE(ToGbk(text), Reference(text));
    }

    void roundTrip() {
        const QString text = QStringLiteral("秋天的校园\r\n打对的字会变成蓝色！");
        QCOMPARE(FromGbk(ToGbk(text)), text);
    }
};

QTEST_MAIN(GbkTextTest)
#include "GbkTextTest.moc"
