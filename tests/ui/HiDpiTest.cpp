// Scaled screens (run at QT_SCALE_FACTOR 1, 1.5 and 2): bold text stays bold
// and the pictures come from their doubled versions.
#include "ui/HiDpi.h"

#include "platform/JpegImage.h"
#include "ui/ExamWindow.h"
#include "ui/Fonts.h"
#include "ui/Pictures.h"

#include <QLabel>
#include <QtTest>

using namespace qarvel::ui;
using qarvel::platform::LoadJpeg;

namespace {

// The darkness of an image of black text on white, per pixel.
double Ink(const QImage& image) {
    double ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ink += 255 - qGray(image.pixel(x, y));
        }
    }
    return ink / (image.width() * image.height());
}

} // namespace

class HiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void boldStaysBold_data() {
        QTest::addColumn<int>("pixels");
        QTest::newRow("16") << 16;
        QTest::newRow("19") << 19;
        QTest::newRow("27") << 27;
    }
    void boldStaysBold() {
        QFETCH(int, pixels);
        QWidget window;
        window.setPalette(QPalette(Qt::white));
        window.setAutoFillBackground(true);
        QLabel plain(QStringLiteral("总字数考生登录"), &window);
        QLabel bold(plain.text(), &window);
        plain.setFont(SongFont(pixels));
        bold.setFont(SongFont(pixels, true));
        for (QLabel* label : {&plain, &bold}) {
            KeepBoldAtEveryScale(label);
            label->adjustSize();
        }
        bold.move(0, plain.height());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const double plainInk = Ink(plain.grab().toImage());
        const double boldInk = Ink(bold.grab().toImage());
        // Unscaled, the Song face's bold has about twice the ink of its plain
        // text; a bold made at the unscaled size and then scaled to 2x has 1.5.
        QVERIFY2(boldInk > 1.8 * plainInk, qPrintable(QStringLiteral("scale %1: bold %2, plain %3")
                                                          .arg(window.devicePixelRatioF())
                                                          .arg(boldInk)
                                                          .arg(plainInk)));
    }

    void picturesComeFromTheirDoubledVersions() {
        QWidget window;
        QLabel picture(&window);
        picture.setGeometry(0, 0, 21, 17);
        picture.setScaledContents(true);
        QVERIFY(ExamWindow::LoadPicture(&picture, QStringLiteral(":/pictures/close.jpg"), {}));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage shown = picture.grab().toImage().convertToFormat(QImage::Format_RGB888);
        shown.setDevicePixelRatio(1);
        const QImage doubled = LoadJpeg(QStringLiteral(":/pictures/close@2x.jpg"));
        QCOMPARE(doubled.size(), QSize(42, 34));
        if (window.devicePixelRatioF() == 2.0) {
            QCOMPARE(shown, doubled);
        }
        QVERIFY(ProgramIconSet().availableSizes().contains(QSize(64, 64)));
    }
};

QTEST_MAIN(HiDpiTest)
#include "HiDpiTest.moc"
