// The login window driven as an examinee drives it, against a stand-in exam
// window that holds the three labels the login fills; and the rounded regions.
#include "ui/LoginWindow.h"

#include "UiTestSupport.h"
#include "ui/Rounding.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <numbers>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;

namespace {

const QString kUntouched = QStringLiteral("untouched");

// The exam window and the program body as the login sees them: what the
// login hands over lands in three labels, and a start with a duration is
// granted at once, the window coming on screen.
class ExamStandIn : public QWidget {
public:
    ExamStandIn() {
        for (const char* name : {"Label14", "Label17", "Label19"}) {
            auto* label = new QLabel(kUntouched, this);
            label->setObjectName(QLatin1String(name));
        }
    }
    void Attach(LoginWindow* login) {
        connect(login, &LoginWindow::startRequested, this, [this, login](const Examinee& examinee) {
            Put("Label17", examinee.name);
            Put("Label19", examinee.number);
            if (examinee.duration) {
                Put("Label14", *examinee.duration);
                login->AcceptStart();
                show();
            }
        });
    }
    void Put(const char* name, const QString& text) {
        findChild<QLabel*>(QLatin1String(name))->setText(text);
    }
    [[nodiscard]] QString text(const char* name) const {
        return findChild<QLabel*>(QLatin1String(name))->text();
    }
};

QStringList Texts(const std::vector<BoxRequest>& boxes) {
    QStringList texts;
    for (const BoxRequest& box : boxes) {
        texts << box.text;
    }
    return texts;
}

} // namespace

class LoginWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<ExamStandIn> exam_;
    std::unique_ptr<LoginWindow> form_;

    void Open() {
        form_.reset();
        exam_.reset();
        recorder_ = std::make_unique<BoxRecorder>();
        exam_ = std::make_unique<ExamStandIn>();
        form_ = std::make_unique<LoginWindow>(recorder_->messageBoxes());
        exam_->Attach(form_.get());
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }

    template <class T = QWidget> T* Find(const char* name) const {
        T* widget = form_->findChild<T*>(QLatin1String(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QString Focused() const {
        const QWidget* focus = QApplication::focusWidget();
        return focus == nullptr ? QString() : focus->objectName();
    }
    // Types `text` into `target`, one key per character; "\b" is the Backspace key.
    static void Type(QWidget* target, const QString& text) {
        for (const QChar c : text) {
            if (c == QChar('\b')) {
                QTest::keyClick(target, Qt::Key_Backspace);
            } else {
                TypeKey(target, QString(c));
            }
        }
    }
    void Fill(const QString& name, const QString& number, const QString& duration) {
        Edit("Edit1")->setText(name);
        Edit("Edit2")->setText(number);
        Edit("Edit3")->setText(duration);
    }

private slots:
    void cleanup() {
        form_.reset();
        exam_.reset();
        recorder_.reset();
    }

    void opensWithTheFocusOnTheName() {
        Open();
        QCOMPARE(Focused(), QStringLiteral("Edit1"));
        QCOMPARE(Edit("Edit3")->text(), QStringLiteral("00:30:00"));
    }

    void captionsAreNotClipped() {
        Open();
        for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"}) {
            const auto* label = Find<QLabel>(name);
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), name);
            QVERIFY2(metrics.height() <= label->height(), name);
            // Still inside the window (or the title strip) after growing to fit.
            QVERIFY2(label->parentWidget()->rect().contains(label->geometry()), name);
        }
        for (const char* name : {"Button1", "Button2"}) {
            const auto* button = Find<QPushButton>(name);
            QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) <
                         button->width(),
                     name);
        }
    }

    void tabRunsNameNumberStartDurationExit() {
        Open();
        const QStringList order = {"Edit2", "Button1", "Edit3", "Button2", "Edit1"};
        for (const QString& next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(Focused(), next);
        }
    }

    void enterMovesFromTheNameToTheNumberOnly() {
        Open();
        QTest::keyClick(Edit("Edit1"), Qt::Key_Return);
        QCOMPARE(Focused(), QStringLiteral("Edit2"));
        Edit("Edit1")->setFocus();
        QTest::keyClick(Edit("Edit1"), Qt::Key_Enter); // the keypad's Enter
        QCOMPARE(Focused(), QStringLiteral("Edit2"));
        Edit("Edit1")->setText(QStringLiteral("张三"));
        for (const char* field : {"Edit2", "Edit3"}) {
            Edit(field)->setFocus();
            QTest::keyClick(Edit(field), Qt::Key_Return);
            QCOMPARE(Focused(), QString::fromLatin1(field));
        }
        // Neither Enter nor Escape starts the exam or closes the window.
        QTest::keyClick(Edit("Edit3"), Qt::Key_Escape);
        QVERIFY(form_->isVisible());
        QVERIFY(recorder_->boxes.empty());
        QCOMPARE(exam_->text("Label17"), kUntouched);
    }

    void typedCharactersAreFiltered_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, const char* field, const char* typed, const char* shown) {
            QTest::newRow(name) << QString(field) << QString::fromUtf8(typed)
                                << QString::fromUtf8(shown);
        };
        row("number: digits only", "Edit2", "a1 B2.3:-", "123");
        row("number: Chinese refused", "Edit2", "学9号", "9");
        row("number: Backspace works", "Edit2", "12x\b", "1");
        row("duration: digits and colon", "Edit3", "1a:5;pm ", "1:5");
        row("duration: Backspace works", "Edit3", "1:5\b\b", "1");
        row("name: anything", "Edit1", "张 a1:", "张 a1:");
        row("number: full-width digits as ASCII", "Edit2", "２０２４：", "2024");
        row("duration: full-width digits and colon", "Edit3", "０：４５：００", "0:45:00");
        row("name: full-width kept", "Edit1", "２：", "２：");
        const QByteArray forty(40, '7');
        for (const char* field : {"Edit1", "Edit2", "Edit3"}) {
            row((QByteArray("32 characters at most: ") + field).constData(), field,
                forty.constData(), forty.left(32).constData());
        }
    }
    void typedCharactersAreFiltered() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Open();
        QLineEdit* edit = Edit(field.toLatin1().constData());
        edit->clear();
        edit->setFocus();
        Type(edit, typed);
        QCOMPARE(edit->text(), shown);
    }

    void inputMethodCommitsKeepOnlyAllowedCharacters() {
        Open();
        QLineEdit* number = Edit("Edit2");
        number->setFocus();
        QVERIFY(!number->testAttribute(Qt::WA_InputMethodEnabled));
        Commit(number, QStringLiteral("学号12"));
        QCOMPARE(number->text(), QStringLiteral("12"));
        QLineEdit* duration = Edit("Edit3");
        duration->setText(QString());
        Commit(duration, QStringLiteral("１：２"));
        QCOMPARE(duration->text(), QStringLiteral("1:2"));
        // What the input method asks before it takes any key: only the name is its.
        QLineEdit* name = Edit("Edit1");
        for (QLineEdit* edit : {name, number, duration}) {
            QCOMPARE(edit->inputMethodQuery(Qt::ImEnabled).toBool(), edit == name);
        }
        name->setFocus();
        Commit(name, QStringLiteral("张三"));
        QCOMPARE(name->text(), QStringLiteral("张三"));
    }

    void ctrlVPastesNothingWhileShiftInsertAndTheMenuPaste() {
        Open();
        QApplication::clipboard()->setText(QStringLiteral("ab12"));
        for (const char* field : {"Edit2", "Edit3"}) {
            QLineEdit* edit = Edit(field);
            edit->clear();
            edit->setFocus();
            // Ctrl+V types character 22 (X11 reports it so; Qt Test reports "v").
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_V, QString(QChar(22)),
                                Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(edit->text(), QString());
            QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
            QCOMPARE(edit->text(), QStringLiteral("ab12"));

            edit->clear();
            const QPoint at = edit->rect().center();
            QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, edit->mapToGlobal(at));
            QApplication::sendEvent(edit, &menuEvent);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            QAction* paste = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->text().remove(QChar('&')).startsWith(QLatin1String("Paste"))) {
                    paste = action;
                }
            }
            QVERIFY(paste != nullptr);
            paste->trigger();
            menu->close();
            QCOMPARE(edit->text(), QStringLiteral("ab12"));
        }
    }

    void startRules_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<QString>("label17");
        QTest::addColumn<QString>("label19");
        QTest::addColumn<QString>("label14");
        const QString refused = QStringLiteral("不是时间格式");
        QTest::newRow("accepted, duration as typed") << " 张三\t"
                                                     << "2024001"
                                                     << "1:5"
                                                     << ""
                                                     << "张三"
                                                     << "2024001"
                                                     << "1:5";
        QTest::newRow("no time left is a time") << "李四"
                                                << ""
                                                << "00:00:00"
                                                << ""
                                                << "李四"
                                                << ""
                                                << "00:00:00";
        QTest::newRow("blanks around the duration trimmed") << "王五"
                                                            << " 7 "
                                                            << "  0:30  "
                                                            << ""
                                                            << "王五"
                                                            << "7"
                                                            << "0:30";
        QTest::newRow("read as a person reads them")
            << QStringLiteral("\u200FLi\u3000\u200BLei ") << QStringLiteral("２０２４\u200B００１ ")
            << "00:30:00"
            << ""
            << "Li Lei"
            << "2024001"
            << "00:30:00";
        QTest::newRow("an invisible name is no name")
            << QStringLiteral("\u200B\u3164\u00AD") << "1"
            << "00:30:00"
            << "考生姓名不能为空。" << kUntouched << kUntouched << kUntouched;
        QTest::newRow("blank name")
            << " \t "
            << "1"
            << "00:30:00"
            << "考生姓名不能为空。" << kUntouched << kUntouched << kUntouched;
        QTest::newRow("empty name")
            << ""
            << "1"
            << "bad"
            << "考生姓名不能为空。" << kUntouched << kUntouched << kUntouched;
        QTest::newRow("25 hours") << "赵六"
                                  << "9"
                                  << "25:00:00" << refused << "赵六"
                                  << "9" << kUntouched;
        QTest::newRow("60 minutes") << "赵六"
                                    << "9"
                                    << "12:60:00" << refused << "赵六"
                                    << "9" << kUntouched;
        QTest::newRow("a tab is no blank") << "赵六"
                                           << "9"
                                           << "\t00:30:00" << refused << "赵六"
                                           << "9" << kUntouched;
        QTest::newRow("empty duration") << "赵六"
                                        << ""
                                        << "" << refused << "赵六"
                                        << "" << kUntouched;
    }
    void startRules() {
        QFETCH(QString, name);
        QFETCH(QString, number);
        QFETCH(QString, duration);
        QFETCH(QString, message);
        QFETCH(QString, label17);
        QFETCH(QString, label19);
        QFETCH(QString, label14);
        Open();
        QSignalSpy started(form_.get(), &LoginWindow::examStarted);
        Fill(name, number, duration);
        QTest::mouseClick(Find("Button1"), Qt::LeftButton);

        QCOMPARE(exam_->text("Label17"), label17);
        QCOMPARE(exam_->text("Label19"), label19);
        QCOMPARE(exam_->text("Label14"), label14);
        const bool accepted = message.isEmpty();
        QCOMPARE(Texts(recorder_->boxes), accepted ? QStringList() : QStringList{message});
        if (!accepted) {
            QCOMPARE(recorder_->boxes.front().kind, BoxKind::Plain);
            // The window stays with its fields as they were.
            QCOMPARE(Edit("Edit1")->text(), name);
            QCOMPARE(Edit("Edit3")->text(), duration);
        }
        QCOMPARE(form_->isVisible(), !accepted);
        QCOMPARE(started.count(), accepted ? 1 : 0);
        QCOMPARE(exam_->isVisible(), accepted);
    }

    // The administrator's settings: a duration the examinee cannot change, a
    // number the examinee cannot leave out.
    void theRoomsDurationAndRequiredNumber() {
        Open();
        form_->SetFixedDuration(QStringLiteral("00:45:00"));
        form_->SetNumberRequired(true);
        Edit("Edit3")->setFocus();
        Type(Edit("Edit3"), QStringLiteral("\b\b1"));
        QCOMPARE(Edit("Edit3")->text(), QStringLiteral("00:45:00"));
        QVERIFY(Edit("Edit3")->isEnabled());
        Fill(QStringLiteral("张三"), QStringLiteral(" \u200B"), Edit("Edit3")->text());
        QTest::mouseClick(Find("Button1"), Qt::LeftButton);
        QCOMPARE(Texts(recorder_->boxes), QStringList{QStringLiteral("学号不能为空。")});
        QCOMPARE(recorder_->boxes.front().kind, BoxKind::Plain);
        QCOMPARE(exam_->text("Label17"), kUntouched);
        QVERIFY(form_->isVisible());
        Edit("Edit2")->setText(QStringLiteral("7"));
        QTest::mouseClick(Find("Button1"), Qt::LeftButton);
        QCOMPARE(exam_->text("Label14"), QStringLiteral("00:45:00"));
        QVERIFY(!form_->isVisible());
    }

    void enterOnAFocusedButtonPressesIt() {
        Open();
        Fill(QString(), QString(), QStringLiteral("00:30:00"));
        Find("Button1")->setFocus();
        QTest::keyClick(Find("Button1"), Qt::Key_Return);
        QCOMPARE(Texts(recorder_->boxes), QStringList{QStringLiteral("考生姓名不能为空。")});
    }

    void startEndsTheModalLoop() {
        recorder_ = std::make_unique<BoxRecorder>();
        exam_ = std::make_unique<ExamStandIn>();
        form_ = std::make_unique<LoginWindow>(recorder_->messageBoxes());
        exam_->Attach(form_.get());
        QTimer::singleShot(0, form_.get(), [this] {
            Fill(QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("0:45"));
            Find<QPushButton>("Button1")->click();
        });
        QCOMPARE(form_->exec(), int(QDialog::Accepted));
        QCOMPARE(exam_->text("Label14"), QStringLiteral("0:45"));
    }

    void anotherCloseCopiesNothing() {
        recorder_ = std::make_unique<BoxRecorder>();
        exam_ = std::make_unique<ExamStandIn>();
        form_ = std::make_unique<LoginWindow>(recorder_->messageBoxes());
        exam_->Attach(form_.get());
        QTimer::singleShot(0, form_.get(), [this] {
            Fill(QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("0:45"));
            form_->close();
        });
        QCOMPARE(form_->exec(), int(QDialog::Rejected));
        QCOMPARE(exam_->text("Label17"), kUntouched);
        QCOMPARE(exam_->text("Label14"), kUntouched);
    }

    void roundedRegionCutsTheCorners_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("ellipse");
        QTest::addColumn<QList<QPoint>>("inside");
        QTest::addColumn<QList<QPoint>>("outside");
        // The login window: corners of radius 25.
        QTest::newRow("window 558x320, 50x50")
            << QSize(558, 320) << QSize(50, 50)
            << QList<QPoint>{{279, 160}, {25, 0},    {532, 0},   {0, 25},    {557, 25},
                             {0, 294},   {557, 294}, {25, 319},  {532, 319}, {279, 0},
                             {0, 160},   {557, 160}, {279, 319}, {8, 8},     {549, 311}}
            << QList<QPoint>{{0, 0},     {557, 0}, {0, 319}, {557, 319}, {5, 5},
                             {552, 314}, {15, 0},  {0, 15},  {542, 319}, {557, 304}};
        // A button: corners of radius 5.
        QTest::newRow("button 60x20, 10x10")
            << QSize(60, 20) << QSize(10, 10)
            << QList<QPoint>{{30, 10}, {5, 0}, {54, 0}, {0, 5}, {59, 14}, {5, 19}, {2, 2}, {57, 17}}
            << QList<QPoint>{{0, 0}, {59, 0}, {0, 19}, {59, 19}, {1, 0}, {0, 1}};
        QTest::newRow("ellipse too small: a rectangle")
            << QSize(30, 20) << QSize(1, 10) << QList<QPoint>{{0, 0}, {29, 19}, {0, 19}, {29, 0}}
            << QList<QPoint>{{30, 0}, {0, 20}};
        QTest::newRow("ellipse larger than the control: cut to it")
            << QSize(20, 20) << QSize(40, 40) << QList<QPoint>{{10, 10}, {0, 10}, {10, 0}, {19, 10}}
            << QList<QPoint>{{2, 2}, {17, 17}, {0, 0}};
    }
    void roundedRegionCutsTheCorners() {
        QFETCH(QSize, size);
        QFETCH(QSize, ellipse);
        QFETCH(QList<QPoint>, inside);
        QFETCH(QList<QPoint>, outside);
        const QRegion region = RoundedRegion(size, ellipse.width(), ellipse.height());
        for (const QPoint& p : inside) {
            QVERIFY2(region.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        }
        for (const QPoint& p : outside) {
            QVERIFY2(!region.contains(p),
                     qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        }
        QVERIFY(QRect(QPoint(0, 0), size).contains(region.boundingRect()));
        // Each corner loses about (1 - pi/4) of its ellipse's bounding box.
        qint64 area = 0;
        for (const QRect& r : region) {
            area += qint64(r.width()) * r.height();
        }
        const int ew = std::min(ellipse.width(), size.width());
        const int eh = std::min(ellipse.height(), size.height());
        const double cut = ew < 2 || eh < 2 ? 0.0 : (1.0 - std::numbers::pi / 4.0) * ew * eh;
        const double expected = double(size.width()) * size.height() - cut;
        QVERIFY2(std::abs(double(area) - expected) <= (ew + eh) / 2.0 + 1,
                 qPrintable(QStringLiteral("area %1, expected about %2").arg(area).arg(expected)));
        // The same shape seen from every corner.
        const QTransform mirror =
            QTransform::fromScale(-1, -1).translate(-size.width(), -size.height());
        QCOMPARE(mirror.map(region), region);
    }

    void showingRoundsTheWindowAndItsButtons() {
        Open();
        QCOMPARE(form_->mask(), RoundedRegion({558, 320}, 50, 50));
        auto* start = Find("Button1");
        QCOMPARE(start->mask(), RoundedRegion(start->size(), 10, 10));
        auto* exit = Find("Button2");
        QCOMPARE(exit->mask(), RoundedRegion(exit->size(), 10, 10));
        // A press in a button's cut-off corner falls to the window beneath it.
        QVERIFY(form_->childAt(start->geometry().topLeft()) == nullptr);
        QCOMPARE(form_->childAt(start->geometry().center()), start);
    }

    void roundingAnEditMovesItsTextIn() {
        QLineEdit line;
        line.resize(100, 30);
        const QMargins before = line.textMargins();
        ApplyRoundedRegion(&line, 10, 10);
        QCOMPARE(line.textMargins(), before + QMargins(5, 5, 5, 5));
        QPlainTextEdit memo;
        memo.resize(100, 60);
        const qreal margin = memo.document()->documentMargin();
        ApplyRoundedRegion(&memo, 10, 10);
        QCOMPARE(memo.document()->documentMargin(), margin + 5);
        QVERIFY(!memo.mask().contains(QPoint(0, 0)));
    }

    void draggingTheTitleStripMovesTheWindow_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
    }
    void draggingTheTitleStripMovesTheWindow() {
        QFETCH(Qt::MouseButton, button);
        Open();
        QWidget* strip = Find("Panel1");
        const QPoint start = form_->pos();
        const QPoint grip = strip->mapToGlobal(QPoint(300, 20));
        QTest::mousePress(strip, button, {}, strip->mapFromGlobal(grip));
        for (const QPoint step : {QPoint(10, 5), QPoint(40, 30)}) {
            QTest::mouseMove(strip, strip->mapFromGlobal(grip + step));
            QCOMPARE(form_->pos(), start + step);
        }
        QTest::mouseRelease(strip, button, {}, strip->mapFromGlobal(grip + QPoint(40, 30)));
        QCOMPARE(form_->pos(), start + QPoint(40, 30));
        // Once released, the mouse moves the window no more.
        QTest::mouseMove(strip, QPoint(100, 10));
        QCOMPARE(form_->pos(), start + QPoint(40, 30));
    }

    void pressesOnTheTitleAndIconDoNotMove() {
        Open();
        const QPoint start = form_->pos();
        for (const char* name : {"Label6", "Image1"}) {
            QWidget* control = Find(name);
            const QPoint grip = control->mapToGlobal(QPoint(5, 5));
            QTest::mousePress(control, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseMove(control, control->mapFromGlobal(grip + QPoint(30, 30)));
            QTest::mouseRelease(control, Qt::LeftButton, {},
                                control->mapFromGlobal(grip + QPoint(30, 30)));
            QCOMPARE(form_->pos(), start);
        }
    }

    // Last: terminating leaves the application's loops ended.
    void exitTerminatesTheApplication() {
        Open();
        QEventLoop loop;
        QTimer::singleShot(0, form_.get(), [this] { Find<QPushButton>("Button2")->click(); });
        QTimer::singleShot(5000, &loop, [&loop] { loop.exit(99); });
        QCOMPARE(loop.exec(), 0);
        QVERIFY(!form_->isVisible());
        QCOMPARE(exam_->text("Label17"), kUntouched);
    }
};

QTEST_MAIN(LoginWindowTest)
#include "LoginWindowTest.moc"
