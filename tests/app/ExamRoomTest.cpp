// What an exam room needs of the windows: they fit small screens, counters stay
// clear of their captions, the close question keeps a stray key from ending the
// exam, the login works from the keyboard, and no exam starts without a text.
#include "UiTestSupport.h"
#include "app/ExamFlow.h"
#include "app/StartCheck.h"
#include "ui/CounterLabel.h"
#include "ui/ExamWindow.h"
#include "ui/LoginWindow.h"
#include "ui/MessageBoxes.h"
#include "ui/ScreenFit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;

class ExamRoomTest : public QObject {
    Q_OBJECT

private slots:
    void windowsFitTheScreensOfARoom() {
        const QRect exam(56, 68, 922, 648);
        const QRect login(357, 121, 558, 320);
        struct Row {
            const char* name;
            QRect designed;
            QRect available;
            int mostLess;
            WindowFit expected;
        } rows[] = {
            {"1024x768: as designed", exam, {0, 0, 1024, 768}, 306, {{56, 68}, 0}},
            {"1366x768 at 125%: shorter, centred", exam, {0, 0, 1093, 614}, 306, {{85, 0}, 34}},
            {"1920x1080 at 200% under a panel", exam, {0, 27, 960, 513}, 306, {{19, 27}, 135}},
            {"room enough but not at the designed place",
             exam,
             {300, 0, 1280, 1024},
             306,
             {{479, 188}, 0}},
            {"too small even so: the top-left corner stays on screen",
             exam,
             {0, 0, 683, 384},
             200,
             {{0, 0}, 200}},
            {"the login on 1366x768 at 125%", login, {0, 0, 1093, 614}, 0, {{357, 121}, 0}},
            {"the login on 800x600", login, {0, 0, 800, 600}, 0, {{121, 140}, 0}},
            {"no screen known", exam, {}, 306, {{56, 68}, 0}},
        };
        for (const Row& row : rows) {
            const WindowFit fit = FitWindow(row.designed, row.available, row.mostLess);
            QVERIFY2(fit == row.expected, qPrintable(QStringLiteral("%1: at %2,%3 less %4")
                                                         .arg(QLatin1String(row.name))
                                                         .arg(fit.position.x())
                                                         .arg(fit.position.y())
                                                         .arg(fit.lessHeight)));
        }
    }

    void countersStayClearOfTheirCaptions() {
        BoxRecorder boxes;
        ExamWindow form(SetupFor(Gbk("汉字ab"), boxes));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        using L = qarvel::exam::Field;
        const struct {
            L label;
            const char* counter;
            const char* next; // the caption after it; none for the score
        } counters[] = {
            {L::SourceTotal, "Label2", "Label3"},    {L::SourceAscii, "Label4", "Label5"},
            {L::SourceHanzi, "Label6", "Label7"},    {L::CorrectAscii, "Label8", "Label9"},
            {L::CorrectHanzi, "Label10", "Label11"}, {L::Score, "Label12", nullptr},
        };
        for (const auto& c : counters) {
            auto* counter = form.findChild<CounterLabel*>(QLatin1String(c.counter));
            QVERIFY2(counter != nullptr, c.counter);
            const int limit = c.next != nullptr
                                  ? form.findChild<QLabel*>(QLatin1String(c.next))->x() - 4
                                  : counter->parentWidget()->width() - 4;
            // A short count keeps the designed size; a long one shrinks to its room.
            form.SetFieldText(c.label, "417");
            QCOMPARE(counter->FittingFont(counter->contentsRect().width()), counter->font());
            for (const char* count : {"999999", "9999999"}) {
                form.SetFieldText(c.label, count);
                QCOMPARE(counter->text(), QLatin1String(count));
                QVERIFY2(counter->geometry().right() < limit, c.counter);
                const QFont fitted = counter->FittingFont(counter->contentsRect().width());
                QVERIFY2(QFontMetricsF(fitted).horizontalAdvance(counter->text()) <=
                             counter->contentsRect().width(),
                         c.counter);
                QVERIFY(fitted.pixelSize() >= 10); // still readable
            }
        }
    }

    void theCloseQuestionDefaultsToCancel() {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
            QTimer::singleShot(50, [key] {
                QWidget* box = QApplication::activeModalWidget();
                QVERIFY(box != nullptr);
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box,
                                key);
            });
            const BoxAnswer answer = MessageBoxes().Show(
                {BoxKind::Question, QStringLiteral("提示"), QStringLiteral("?")});
            QCOMPARE(answer, BoxAnswer::Cancel);
        }
        // 确定 is there for whoever chooses it.
        QTimer::singleShot(50, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(
            MessageBoxes().Show({BoxKind::Question, QStringLiteral("提示"), QStringLiteral("?")}),
            BoxAnswer::Ok);
    }

    void theLoginFromTheKeyboard() {
        BoxRecorder boxes;
        LoginWindow login(boxes.messageBoxes());
        login.show();
        login.activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        // Ctrl+A selects all of every field; typing then replaces it.
        for (const char* name : {"Edit1", "Edit2", "Edit3"}) {
            auto* field = login.findChild<QLineEdit*>(QLatin1String(name));
            field->setFocus();
            field->setText(QStringLiteral("12"));
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(field->selectedText(), QStringLiteral("12"));
            QTest::keyClicks(field, "3");
            QCOMPARE(field->text(), QStringLiteral("3"));
        }
        // The focused button shows a frame: its picture changes with the focus.
        for (const char* name : {"Button1", "Button2"}) {
            auto* button = login.findChild<QPushButton*>(QLatin1String(name));
            login.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setFocus();
            const QImage unfocused = button->grab().toImage();
            button->setFocus(Qt::TabFocusReason);
            QVERIFY(button->hasFocus());
            QVERIFY2(button->grab().toImage() != unfocused, name);
        }
    }

    void noExamWithoutAText() {
        const QString path = QStringLiteral("/srv/exam/vexo/2.txt");
        const QString missing = qarvel::app::RefusalToStart(false, {}, path);
        QVERIFY(missing.contains(QStringLiteral("找不到或无法读取原文文件")));
        QVERIFY(missing.contains(path));
        QVERIFY(missing.contains(QStringLiteral("--source")));
        const QString empty = qarvel::app::RefusalToStart(true, {0, 0, 0}, path);
        QVERIFY(empty.contains(QStringLiteral("没有可录入的字")));
        QVERIFY(empty.contains(path));
        QVERIFY(qarvel::app::RefusalToStart(true, {1, 0, 1}, path).isEmpty());

        // The program's course: the refusal is shown, the login stays and the
        // exam window never comes; a missing file was shown in the error box first.
        for (const bool exists : {false, true}) {
            const std::string blanks = " \r\n\t";
            BoxRecorder boxes;
            WorkingFolder folder(exists ? &blanks : nullptr);
            qarvel::app::ExamFlow::Options options;
            options.controls = ExamWindow::Controls::Now;
            options.window.boxes = boxes.messageBoxes();
            qarvel::app::ExamFlow flow(std::move(options));
            flow.loginWindow().findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText("Li");
            flow.loginWindow().Button1Click();
            QVERIFY(!boxes.boxes.empty());
            const QString said = boxes.boxes.back().text;
            QVERIFY2(said.contains(folder.path() + QStringLiteral("/vexo/2.txt")),
                     qPrintable(said));
            QVERIFY(said.contains(exists ? QStringLiteral("没有可录入的字")
                                         : QStringLiteral("找不到或无法读取原文文件")));
            QCOMPARE(boxes.boxes.size(), std::size_t{exists ? 1U : 2U});
            QVERIFY(!flow.examWindow().isVisible());
            QCOMPARE(flow.loginWindow().result(), 0);
        }
    }
};

QTEST_MAIN(ExamRoomTest)
#include "ExamRoomTest.moc"
