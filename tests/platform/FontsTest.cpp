// The face that stands for "宋体" covers the sample source and the window's captions.
#include "platform/Fonts.h"

#include "exam/Gbk.h"

#include <QFile>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QtTest>

using namespace qarvel::platform;

class FontsTest : public QObject {
    Q_OBJECT

private slots:
    void aSongFaceIsPreferred() {
        const QString family = SongFamily();
        QVERIFY2(!family.isEmpty(), "no Chinese font installed");
        const QStringList installed = QFontDatabase::families();
        if (installed.contains(QStringLiteral("SimSun"))) {
            QCOMPARE(family, QStringLiteral("SimSun"));
        } else if (installed.contains(QStringLiteral("AR PL UMing CN"))) {
            QCOMPARE(family, QStringLiteral("AR PL UMing CN"));
        }
        QCOMPARE(SongFont(19).pixelSize(), 19);
        QVERIFY(SongFont(16, true).bold());
        QCOMPARE(QFontInfo(SongFont(19)).family(),
                 LatinFamily().isEmpty() ? family : LatinFamily());
    }

    // Latin letters, digits and punctuation come from the Latin face (in the
    // Song face "Qarvel" reads "Qarve1"), Chinese and its full-width
    // punctuation from the Song face, plain and bold.
    void latinFromTheLatinFaceChineseFromTheSongFace_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("latin");
        QTest::newRow("letters") << QStringLiteral("Qarvel lI") << true;
        QTest::newRow("digits") << QStringLiteral("0123456789") << true;
        QTest::newRow("punctuation") << QStringLiteral(":.,()!?") << true;
        QTest::newRow("hanzi") << QStringLiteral("考试汉字") << false;
        QTest::newRow("full-width") << QStringLiteral("：（）。，") << false;
    }
    void latinFromTheLatinFaceChineseFromTheSongFace() {
        QFETCH(QString, text);
        QFETCH(bool, latin);
        if (LatinFamily().isEmpty()) {
            QSKIP("the Song face draws Latin itself");
        }
        const QString expected = latin ? LatinFamily() : SongFamily();
        for (const bool bold : {false, true}) {
            QTextLayout layout(text, SongFont(19, bold));
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            for (const QGlyphRun& run : layout.glyphRuns()) {
                QCOMPARE(run.rawFont().familyName(), expected);
            }
        }
    }

    void everyCharacterOfTheSampleHasAGlyph() {
        QFile file(qEnvironmentVariable("QARVEL_SOURCE_DIR") + QStringLiteral("/vexo/2.txt"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray gbk = file.readAll();
        const std::string utf8 =
            qarvel::exam::GbkToUtf8({gbk.constData(), std::size_t(gbk.size())});
        QString text = QString::fromStdString(utf8);
        QVERIFY(text.size() > 100);
        // The window's own captions too.
        text += QStringLiteral(
            "Qarvel考试1.0剩余时间：已用时间:考生姓名:学号:暂停继续总字数：其中字符数：汉字"
            "数：正确字符：正确汉字：得分：选择输入法0123456789");
        for (const bool bold : {false, true}) {
            QFont song = SongFont(19, bold);
            song.setFamilies({SongFamily()});
            const QRawFont raw = QRawFont::fromFont(song);
            const QRawFont latin = QRawFont::fromFont(SongFont(19, bold));
            QVERIFY(raw.isValid());
            QString missing;
            for (const char32_t ch : text.toUcs4()) {
                if (ch != '\r' && ch != '\n' && !raw.supportsCharacter(ch) &&
                    !latin.supportsCharacter(ch)) {
                    missing += QString::fromUcs4(&ch, 1);
                }
            }
            QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no glyph for: ") + missing));
        }
    }
};

QTEST_MAIN(FontsTest)
#include "FontsTest.moc"
