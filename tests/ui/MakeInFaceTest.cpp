// A control made in its own face leaves the application's default face as it was.
#include "ui/Fonts.h"

#include <QLineEdit>
#include <QtTest>
#include <memory>

using namespace qarvel::ui;

class MakeInFaceTest : public QObject {
    Q_OBJECT

private slots:
    void makingInAFaceKeepsTheDefaultFace() {
        const QFont before = QGuiApplication::font();
        const std::unique_ptr<QLineEdit> edit(
            MakeInFace<QLineEdit>(SongFont(19), QStringLiteral("汉a")));
        QCOMPARE(QGuiApplication::font(), before);
        QCOMPARE(edit->text(), QStringLiteral("汉a"));
    }
};

QTEST_MAIN(MakeInFaceTest)
#include "MakeInFaceTest.moc"
