// The locale's words for time texts, as the clock reads and writes them.
#include "platform/LocaleWords.h"

#include "exam/Gbk.h"

#include <QtTest>

using qarvel::platform::TimeLocaleOf;

class LocaleWordsTest : public QObject {
    Q_OBJECT

private slots:
    void wordsOfALocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("am");
        QTest::addColumn<QString>("pm");
        QTest::newRow("C") << "C"
                           << ":"
                           << "."
                           << "AM"
                           << "PM";
        QTest::newRow("zh_CN") << "zh_CN"
                               << ":"
                               << "."
                               << "上午"
                               << "下午";
        QTest::newRow("de_DE") << "de_DE"
                               << ":"
                               << ","
                               << "AM"
                               << "PM";
        QTest::newRow("fi_FI") << "fi_FI"
                               << "."
                               << ","
                               << "ap."
                               << "ip.";
    }
    void wordsOfALocale() {
        QFETCH(QString, locale);
        QFETCH(QString, separator);
        QFETCH(QString, decimal);
        QFETCH(QString, am);
        QFETCH(QString, pm);
        const auto words = TimeLocaleOf(QLocale(locale));
        const auto gbk = [](const QString& s) { return qarvel::exam::Utf8ToGbk(s.toStdString()); };
        QCOMPARE(words.timeSeparator, gbk(separator));
        QCOMPARE(words.decimalSeparator, gbk(decimal));
        QCOMPARE(words.amWord, gbk(am));
        QCOMPARE(words.pmWord, gbk(pm));
    }
};

QTEST_MAIN(LocaleWordsTest)
#include "LocaleWordsTest.moc"
