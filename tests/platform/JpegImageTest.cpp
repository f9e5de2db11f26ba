// The title-strip glyphs decode with libjpeg; broken pictures are errors, not crashes.
#include "platform/JpegImage.h"

#include <QFile>
#include <QtTest>

using namespace qarvel::platform;

namespace {

QByteArray Resource(const QString& name) {
    QFile file(QStringLiteral(":/pictures/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture with the size in its frame header changed.
QByteArray WithSize(QByteArray jpeg, quint16 width, quint16 height) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0) {
        return {};
    }
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

bool JpegMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libjpeg");
}

} // namespace

class JpegImageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        Q_INIT_RESOURCE(pictures);
        linked_ = !QFile::exists(QStringLiteral("/proc/self/maps")) || JpegMapped();
    }

    void theGlyphsDecode() {
        for (const char* name : {"close.jpg", "minimise.jpg"}) {
            const QImage image = LoadJpeg(QStringLiteral(":/pictures/") + QLatin1String(name));
            QCOMPARE(image.size(), QSize(21, 17));
            QCOMPARE(image.format(), QImage::Format_RGB888);
            // The highlight blue in the corner, as drawn.
            const QColor corner = image.pixelColor(0, 0);
            QVERIFY(corner.blue() > 200 && corner.red() < 90);
        }
        // White strokes: the centre of the cross, the bar of the minimise glyph.
        QVERIFY(LoadJpeg(QStringLiteral(":/pictures/close.jpg")).pixelColor(10, 8).lightness() >
                200);
        QVERIFY(LoadJpeg(QStringLiteral(":/pictures/minimise.jpg")).pixelColor(10, 11).lightness() >
                200);
    }

    void brokenPicturesAreErrors_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good = Resource(QStringLiteral("close.jpg"));
        QTest::newRow("empty") << QByteArray() << "Empty input file";
        QTest::newRow("not a JPEG") << QByteArray("\x89PNG\r\n\x1A\n....") << "Not a JPEG file";
        QTest::newRow("only the start marker") << QByteArray("\xFF\xD8") << "";
        QTest::newRow("cut in half") << good.left(good.size() / 2) << "";
        QTest::newRow("cut in the header") << good.left(40) << "";
        QTest::newRow("huge size") << WithSize(good, 60000, 60000) << "too large";
        QTest::newRow("zero size") << WithSize(good, 0, 17) << "";
    }
    void brokenPicturesAreErrors() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        try {
            DecodeJpeg(bytes, QStringLiteral("x.jpg"));
            QFAIL("decoded");
        } catch (const PictureError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.startsWith(QStringLiteral("Cannot read picture \"x.jpg\": ")),
                     qPrintable(message));
            QVERIFY2(message.contains(reason), qPrintable(message));
        }
    }

    // A build that loads libjpeg for the decoding lets it go again: the
    // library's code stays in memory no longer than the pictures take.
    void theLibraryIsLetGoAfterDecoding() {
        if (linked_) {
            QSKIP("libjpeg is linked to the program here");
        }
        QCOMPARE(LoadJpeg(QStringLiteral(":/pictures/close.jpg")).size(), QSize(21, 17));
        QVERIFY(!JpegMapped());
    }

    void aMissingFileIsAnError() {
        QVERIFY_THROWS_EXCEPTION(PictureError, LoadJpeg(QStringLiteral("/nonexistent/x.jpg")));
    }

private:
    bool linked_ = false; // libjpeg was mapped before any picture was decoded
};

QTEST_MAIN(JpegImageTest)
#include "JpegImageTest.moc"
