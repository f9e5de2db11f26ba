// The two windows together, as the program body puts them: the login opens
// modally before the exam window is shown, the ways it closes, the ways the
// program ends; the exam window's rounded corners, its title strip, and the
// names screen readers say for controls without text.
#include "UiTestSupport.h"
#include "app/ExamFlow.h"
#include "ui/AnswerEdit.h"
#include "ui/ExamWindow.h"
#include "ui/LoginWindow.h"
#include "ui/Rounding.h"

#include <QAccessible>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <memory>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;

namespace {

const std::string kSource = Gbk("汉字ab\r\n第二行");

template <class T = QWidget> T* Find(const QWidget* window, const char* name) {
    T* widget = window->findChild<T*>(QLatin1String(name));
    if (widget == nullptr) {
        qFatal("no control %s", name);
    }
    return widget;
}

QString Text(const QWidget* window, const char* label) {
    return Find<QLabel>(window, label)->text();
}

QStringList VisibleWindows() {
    QStringList names;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            names << window->objectName();
        }
    }
    names.sort();
    return names;
}

// Keys into a line edit, one per character; "\b" is Backspace, "\r" Enter.
void Type(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        if (c == QChar('\b')) {
            QTest::keyClick(target, Qt::Key_Backspace);
        } else if (c == QChar('\r')) {
            QTest::keyClick(target, Qt::Key_Return);
        } else {
            TypeKey(target, QString(c));
        }
    }
}

} // namespace

class WindowFlowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder_;
    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<qarvel::app::ExamFlow> flow_;
    ExamWindow* exam_ = nullptr;
    LoginWindow* login_ = nullptr;
    bool withLogin_ = true;

    // The two windows as the program makes them: the exam window first, then
    // the login window. With the login, Show() runs the program's course:
    // the login first, then the exam window; without, it shows the exam window.
    // With `realBoxes`, the real message boxes come instead of the recorder.
    void Make(bool withLogin = true, ExamWindow::Controls controls = ExamWindow::Controls::Now,
              bool realBoxes = false) {
        Reset();
        recorder_ = std::make_unique<BoxRecorder>();
        folder_ = std::make_unique<WorkingFolder>(&kSource);
        qarvel::app::ExamFlow::Options options;
        options.controls = controls;
        if (!realBoxes) {
            options.window.boxes = recorder_->messageBoxes();
        }
        flow_ = std::make_unique<qarvel::app::ExamFlow>(std::move(options));
        exam_ = &flow_->examWindow();
        login_ = &flow_->loginWindow();
        withLogin_ = withLogin;
    }
    void Show() {
        if (withLogin_) {
            flow_->Run();
        } else {
            exam_->show();
        }
    }
    void Reset() {
        exam_ = nullptr;
        login_ = nullptr;
        flow_.reset();
        recorder_.reset();
        folder_.reset();
    }

private slots:
    void cleanup() { Reset(); }

    // The flow reads the source once, before either window: a failure goes to
    // the error box, naming the file as the system found it. The record's
    // SHA-256 is of the bytes read, taken only when a record is kept: without
    // one a long source is not hashed for nothing.
    void theSourceIsLoadedOnceAndFingerprintedOnlyWhenAsked() {
        const QByteArray bytes = QByteArray("\xc7\xef\xcc\xec abc\r\n");
        const std::string gbk(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        const QString sha = QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        const struct {
            bool exists;
            bool fingerprinted;
            QString sha256;
        } rows[] = {{true, true, sha}, {true, false, {}}, {false, true, {}}};
        for (const auto& row : rows) {
            BoxRecorder boxes;
            WorkingFolder folder(row.exists ? &gbk : nullptr);
            const qarvel::app::LoadedSource source =
                qarvel::app::LoadSource("./vexo/2.txt", row.fingerprinted, boxes.messageBoxes());
            const QString file = folder.path() + QStringLiteral("/vexo/2.txt");
            QCOMPARE(QFile::decodeName(source.file.c_str()), file);
            QCOMPARE(source.read, row.exists);
            QCOMPARE(source.sha256, row.sha256);
            QCOMPARE(source.text,
                     row.exists ? qarvel::exam::SourceTextFromBytes(gbk) : std::string());
            QCOMPARE(boxes.boxes.size(), std::size_t{row.exists ? 0U : 1U});
            if (!row.exists) {
                QCOMPARE(boxes.boxes.front().kind, BoxKind::Error);
                QCOMPARE(boxes.boxes.front().caption, ApplicationTitle());
                QCOMPARE(boxes.boxes.front().text,
                         QStringLiteral("Cannot open file \"%1\". No such file or directory.")
                             .arg(file));
            }
        }
    }

    void roundControlCutsTheCorners_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("ellipse");
        QTest::newRow("the window") << "Form1" << 40;
        QTest::newRow("Panel1") << "Panel1" << 40;
        QTest::newRow("Pap1") << "Pap1" << 10;
        QTest::newRow("Pap2") << "Pap2" << 10;
    }
    void roundControlCutsTheCorners() {
        QFETCH(QString, name);
        QFETCH(int, ellipse);
        Make(false);
        Show();
        QVERIFY(QTest::qWaitForWindowExposed(exam_));
        const QWidget* control =
            name == QLatin1String("Form1") ? exam_ : Find(exam_, name.toLatin1().constData());
        const QSize size = control->size();
        const QRegion mask = control->mask();
        QCOMPARE(mask, RoundedRegion(size, ellipse, ellipse));
        const int w = size.width() - 1;
        const int h = size.height() - 1;
        // The corner pixels, and a few pixels in along the diagonal of a large corner.
        const int in = ellipse / 16;
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h),
                                    QPoint(in, in), QPoint(w - in, h - in)}) {
            QVERIFY2(!mask.contains(corner),
                     qPrintable(QStringLiteral("%1,%2 is inside").arg(corner.x()).arg(corner.y())));
        }
        for (const QPoint inside : {QPoint(w / 2, h / 2), QPoint(w / 2, 0), QPoint(0, h / 2),
                                    QPoint(ellipse / 2, ellipse / 2)}) {
            QVERIFY2(
                mask.contains(inside),
                qPrintable(QStringLiteral("%1,%2 is outside").arg(inside.x()).arg(inside.y())));
        }
    }

    // A press in a cut-off corner of the exam area goes to what lies beneath it.
    void theExamAreasCornersBelongToTheWindowBeneath() {
        Make(false);
        Show();
        QVERIFY(QTest::qWaitForWindowExposed(exam_));
        const QWidget* panel = Find(exam_, "Panel1");
        const QWidget* atCorner = exam_->childAt(panel->geometry().topLeft() + QPoint(1, 1));
        QVERIFY(atCorner == nullptr || !panel->isAncestorOf(atCorner));
        const QWidget* atCentre = exam_->childAt(panel->geometry().center());
        QVERIFY(atCentre != nullptr && (atCentre == panel || panel->isAncestorOf(atCentre)));
    }

    void controlsWithoutTextHaveSpokenNames_data() {
        QTest::addColumn<bool>("inLogin");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        auto row = [](bool inLogin, const char* control, const char* name) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(inLogin ? QStringLiteral("Form2")
                                                                         : QStringLiteral("Form1"),
                                                                 QLatin1String(control))))
                << inLogin << QString::fromLatin1(control) << QString::fromUtf8(name);
        };
        row(false, "Image1", "关闭");
        row(false, "Image2", "最小化");
        row(false, "Image3", "图标");
        row(false, "RichEdit1", "原文");
        row(false, "Memo1", "答案");
        row(true, "Image1", "图标");
        row(true, "Edit1", "考生姓名");
        row(true, "Edit2", "学号");
        row(true, "Edit3", "考试时间");
        // Labels and buttons are read by their own text.
        row(false, "Label13", "Qarvel考试1.0");
        row(false, "Pap1", "暂停");
        row(false, "Lab1", "选择输入法");
        row(true, "Label2", "考生姓名:");
        row(true, "Button1", "开始考试");
        row(true, "Button2", "退出");
    }
    void controlsWithoutTextHaveSpokenNames() {
        QFETCH(bool, inLogin);
        QFETCH(QString, control);
        QFETCH(QString, name);
        Make(false);
        const QWidget* window = inLogin ? static_cast<QWidget*>(login_) : exam_;
        QWidget* widget = Find(window, control.toLatin1().constData());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }

    // The examinee signs in through the login's own controls while the exam
    // window waits, not yet shown; then the exam window comes, active, with
    // the examinee's data. The login opens once only. Made as the program
    // makes it, the exam window makes its controls while the login is up.
    void theLoginComesFirstAndHandsOver_data() {
        QTest::addColumn<bool>("later");
        QTest::newRow("controls at once") << false;
        QTest::newRow("controls after the login shows") << true;
    }
    void theLoginComesFirstAndHandsOver() {
        QFETCH(bool, later);
        Make(true, later ? ExamWindow::Controls::Later : ExamWindow::Controls::Now);
        QCOMPARE(exam_->findChild<AnswerEdit*>(QStringLiteral("Memo1")) == nullptr, later);
        QStringList steps;
        QStringList windowsDuringLogin;
        bool examShownDuringLogin = true;
        bool controlsDuringLogin = false;
        QRegion loginMask;
        QTimer::singleShot(0, login_, [&] {
            steps << QStringLiteral("login");
            controlsDuringLogin = QTest::qWaitFor(
                [&] { return exam_->findChild<AnswerEdit*>(QStringLiteral("Memo1")) != nullptr; });
            examShownDuringLogin =
                exam_->isVisible() || (exam_->windowHandle() && exam_->windowHandle()->isVisible());
            windowsDuringLogin = VisibleWindows();
            QCOMPARE(QApplication::activeModalWidget(), login_);
            loginMask = login_->mask();
            QLineEdit* name = Find<QLineEdit>(login_, "Edit1");
            QTest::mouseClick(name, Qt::LeftButton);
            Commit(name, QStringLiteral("欧阳长名字"));
            Type(name, QStringLiteral("\r"));
            Type(Find(login_, "Edit2"), QStringLiteral("2024x0917"));
            Type(Find(login_, "Edit3"), QStringLiteral("\b\b\b\b\b\b\b\b1:5"));
            QTest::mouseClick(Find(login_, "Button1"), Qt::LeftButton);
        });
        Show();
        steps << QStringLiteral("shown");

        QCOMPARE(steps, (QStringList{QStringLiteral("login"), QStringLiteral("shown")}));
        QVERIFY(!examShownDuringLogin);
        QVERIFY(controlsDuringLogin);
        QCOMPARE(windowsDuringLogin, QStringList{QStringLiteral("Form2")});
        QCOMPARE(loginMask, RoundedRegion(login_->size(), 50, 50));
        QCOMPARE(VisibleWindows(), QStringList{QStringLiteral("Form1")});
        QVERIFY(login_->windowHandle() == nullptr); // its window and pixels are gone
        QVERIFY(QTest::qWaitForWindowActive(exam_));
        QCOMPARE(QApplication::focusWidget(), Find(exam_, "RichEdit1"));
        QCOMPARE(Text(exam_, "Label17"), QStringLiteral("欧阳长名字"));
        QCOMPARE(Text(exam_, "Label19"), QStringLiteral("20240917"));
        QCOMPARE(Text(exam_, "Label14"), QStringLiteral("1:5"));
        QCOMPARE(Text(exam_, "Label2"), QStringLiteral("7")); // the source's count
        // The examinee's labels grow to their text.
        for (const char* label : {"Label17", "Label19", "Label14"}) {
            const QLabel* shown = Find<QLabel>(exam_, label);
            QVERIFY2(shown->width() >= shown->sizeHint().width(), label);
        }
        QVERIFY(recorder_->boxes.empty());

        // Hidden and shown again (minimised and restored, say): no second login.
        bool reopened = false;
        QTimer::singleShot(0, login_, [&] {
            if (login_->isVisible()) {
                reopened = true;
                login_->reject();
            }
        });
        exam_->hide();
        exam_->show();
        QCoreApplication::processEvents(); // the check above, and what the show left to do
        QVERIFY(!reopened);
        QVERIFY(!login_->isVisible());
        QVERIFY(exam_->isVisible());
    }

    // A login that ends before the exam window has made its controls has them
    // made for the examinee's data, which they then show.
    void controlsAreMadeWhenTheLoginNeedsThem() {
        Make(false, ExamWindow::Controls::Later);
        Find<QLineEdit>(login_, "Edit1")->setText(QStringLiteral("张三"));
        Find<QPushButton>(login_, "Button1")->click();
        QVERIFY(exam_->isVisible());
        QCOMPARE(Text(exam_, "Label17"), QStringLiteral("张三"));
        QCOMPARE(Text(exam_, "Label14"), QStringLiteral("00:30:00"));
        QCOMPARE(Text(exam_, "Label21"), QStringLiteral("00:00:00"));
        QCOMPARE(Text(exam_, "Label2"), QStringLiteral("7"));
        QVERIFY(recorder_->boxes.empty());
    }

    // A duration that is no time: the name and number go over all the same,
    // the login stays with its message and the exam has not begun; put right,
    // the start goes through once.
    void aRefusedDurationKeepsTheLogin() {
        Make(false, ExamWindow::Controls::Later);
        QSignalSpy begun(flow_.get(), &qarvel::app::ExamFlow::examBegun);
        Find<QLineEdit>(login_, "Edit1")->setText(QStringLiteral("张三"));
        Find<QLineEdit>(login_, "Edit2")->setText(QStringLiteral("17"));
        Find<QLineEdit>(login_, "Edit3")->setText(QStringLiteral("25:00:00"));
        login_->show();
        Find<QPushButton>(login_, "Button1")->click();
        QVERIFY(login_->isVisible());
        QVERIFY(!exam_->isVisible());
        QCOMPARE(begun.count(), 0);
        QCOMPARE(Text(exam_, "Label17"), QStringLiteral("张三"));
        QCOMPARE(Text(exam_, "Label19"), QStringLiteral("17"));
        QCOMPARE(Text(exam_, "Label14"), QStringLiteral("00:30:00"));
        QCOMPARE(recorder_->boxes.size(), std::size_t{1});
        QCOMPARE(recorder_->boxes.front().text, QStringLiteral("不是时间格式"));

        Find<QLineEdit>(login_, "Edit3")->setText(QStringLiteral("0:45"));
        Find<QPushButton>(login_, "Button1")->click();
        QVERIFY(!login_->isVisible());
        QVERIFY(exam_->isVisible());
        QCOMPARE(begun.count(), 1);
        QCOMPARE(Text(exam_, "Label14"), QStringLiteral("0:45"));
    }

    // A long name or number stays in the room the layout leaves it, cut, with
    // the whole text in its tool tip and its text; a short one is whole.
    void namesAndNumbersStayInTheirRoom_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("cut");
        QTest::newRow("short") << QStringLiteral("张三") << QStringLiteral("2024") << false;
        QTest::newRow("10 hanzi, 20 digits")
            << QStringLiteral("欧阳长名字欧阳长名字") << QString(20, QChar('9')) << true;
        QTest::newRow("32 letters, 32 digits")
            << QString(32, QChar('W')) << QString(32, QChar('8')) << true;
    }
    void namesAndNumbersStayInTheirRoom() {
        QFETCH(QString, name);
        QFETCH(QString, number);
        QFETCH(bool, cut);
        Make();
        QTimer::singleShot(0, login_, [&] {
            Find<QLineEdit>(login_, "Edit1")->setText(name);
            Find<QLineEdit>(login_, "Edit2")->setText(number);
            QTest::mouseClick(Find(login_, "Button1"), Qt::LeftButton);
        });
        Show();
        QVERIFY(QTest::qWaitForWindowExposed(exam_));
        const struct {
            const char* label;
            QString text;
            const char* next; // the control to its right
        } rows[] = {{"Label17", name, "Label18"}, {"Label19", number, "Pap1"}};
        for (const auto& row : rows) {
            auto* label = Find<QLabel>(exam_, row.label);
            QCOMPARE(label->text(), row.text);
            QCOMPARE(label->toolTip(), row.text);
            QVERIFY2(label->geometry().right() < Find(exam_, row.next)->x(), row.label);
            const int whole = label->fontMetrics().horizontalAdvance(row.text);
            QCOMPARE(label->width() < whole, cut);
            QVERIFY(!label->grab().isNull()); // drawn cut without trouble
        }
    }

    // Closed by the window system, the login copies nothing and hands over
    // all the same: an examinee with no name, the default duration, and an
    // answer box that takes typing and starts the clock.
    void aLoginClosedByTheWindowSystemCopiesNothing() {
        Make();
        QSignalSpy begun(flow_.get(), &qarvel::app::ExamFlow::examBegun);
        QTimer::singleShot(0, login_, [this] {
            Commit(Find(login_, "Edit1"), QStringLiteral("张三"));
            Type(Find(login_, "Edit2"), QStringLiteral("17"));
            login_->windowHandle()->close(); // as the window manager's close does
        });
        Show();
        QVERIFY(exam_->isVisible());
        QVERIFY(!login_->isVisible());
        QCOMPARE(begun.count(), 1); // the exam has begun all the same
        QCOMPARE(Text(exam_, "Label17"), QString());
        QCOMPARE(Text(exam_, "Label19"), QString());
        QCOMPARE(Text(exam_, "Label14"), QStringLiteral("00:30:00"));
        auto* memo = Find<AnswerEdit>(exam_, "Memo1");
        QVERIFY(memo->isEnabled() && !memo->isReadOnly());
        QTest::mouseClick(memo->viewport(), Qt::LeftButton);
        TypeKey(memo, QStringLiteral("汉"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("汉"));
        QVERIFY(Find<QTimer>(exam_, "Timer1")->isActive());
    }

    void theTitleStripMovesTheWindow_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
    }
    void theTitleStripMovesTheWindow() {
        QFETCH(Qt::MouseButton, button);
        Make(false);
        Show();
        QVERIFY(QTest::qWaitForWindowExposed(exam_));
        QWidget* strip = Find(exam_, "Panel4");
        const QPoint start = exam_->pos();
        const QPoint grip = strip->mapToGlobal(QPoint(500, 16));
        QTest::mousePress(strip, button, {}, strip->mapFromGlobal(grip));
        QTest::mouseMove(strip, strip->mapFromGlobal(grip + QPoint(25, 15)));
        QCOMPARE(exam_->pos(), start + QPoint(25, 15));
        QTest::mouseRelease(strip, button, {}, strip->mapFromGlobal(grip + QPoint(25, 15)));
        QCOMPARE(exam_->pos(), start + QPoint(25, 15));
    }

    // The title, the icon and the pictures' panel take their presses: no move.
    void pressesOnTheStripsControlsDoNotMove() {
        Make(false);
        Show();
        QVERIFY(QTest::qWaitForWindowExposed(exam_));
        const QPoint start = exam_->pos();
        for (const char* name : {"Label13", "Image3", "Panel3"}) {
            QWidget* control = Find(exam_, name);
            const QPoint at(1, 1); // on Panel3: beside the pictures
            const QPoint grip = control->mapToGlobal(at);
            QTest::mousePress(control, Qt::LeftButton, {}, at);
            QTest::mouseMove(control, control->mapFromGlobal(grip + QPoint(30, 30)));
            QTest::mouseRelease(control, Qt::LeftButton, {},
                                control->mapFromGlobal(grip + QPoint(30, 30)));
            QVERIFY2(exam_->pos() == start, name);
        }
        QVERIFY(recorder_->boxes.empty());
    }

    // The window system's close of the exam window ends the program at once,
    // even from inside the close question's own loop.
    void closingTheExamWindowEndsTheProgram_data() {
        QTest::addColumn<bool>("questionOpen");
        QTest::newRow("exam running") << false;
        QTest::newRow("close question open") << true;
    }
    void closingTheExamWindowEndsTheProgram() {
        QFETCH(bool, questionOpen);
        Make(false, ExamWindow::Controls::Now, questionOpen); // the real message box
        Show();
        QVERIFY(QTest::qWaitForWindowExposed(exam_));
        QTimer::singleShot(0, exam_, [this, questionOpen] {
            if (questionOpen) {
                QTimer::singleShot(50, exam_, [this] {
                    QVERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
                    exam_->windowHandle()->close();
                });
                QTest::mouseClick(Find(exam_, "Image1"), Qt::LeftButton);
            } else {
                exam_->windowHandle()->close();
            }
        });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(!exam_->isVisible());
    }

    // Last: "退出" ends the program; the exam window never comes on screen.
    void exitInTheLoginNeverShowsTheExamWindow() {
        Make();
        QSignalSpy begun(flow_.get(), &qarvel::app::ExamFlow::examBegun);
        int shows = 0;
        struct ShowCounter : QObject {
            int& count;
            explicit ShowCounter(int& c) : count(c) {}
            bool eventFilter(QObject*, QEvent* event) override {
                count += event->type() == QEvent::Show ? 1 : 0;
                return false;
            }
        } counter(shows);
        exam_->installEventFilter(&counter);
        QTimer::singleShot(0, exam_, [this] {
            QTimer::singleShot(0, login_, [this] {
                QVERIFY(login_->isVisible());
                QTest::mouseClick(Find(login_, "Button2"), Qt::LeftButton);
            });
            Show();
        });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(shows, 0);
        QCOMPARE(begun.count(), 0);
        QVERIFY(!exam_->isVisible());
        QVERIFY(exam_->windowHandle() == nullptr || !exam_->windowHandle()->isVisible());
        QVERIFY(!login_->isVisible());
    }
};

QTEST_MAIN(WindowFlowTest)
#include "WindowFlowTest.moc"
