// The exam window driven as an examinee drives it: keys, input-method commits
// and mouse clicks on the real controls, found by their names.
#include "ui/ExamWindow.h"

#include "UiTestSupport.h"
#include "ui/AnswerEdit.h"
#include "ui/Application.h"
#include "ui/ExamLayout.h"
#include "ui/SourceView.h"

#include <QCryptographicHash>
#include <QFrame>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;

namespace {

// 汉 字 a b CR LF 第 二 行: offsets 0 2 4 5 6 7 8 10 12, positions 0 1 2 3 4 5 6 7.
const std::string kSource = Gbk("汉字ab\r\n第二行");

} // namespace

class ExamWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<ExamWindow> form_;

    // A fresh exam window on a source file holding `source` (none: no source
    // could be read), shown and active; its boxes answered with `answer` (none:
    // the real dialogs), its clock paced by `clock` (empty: the system's).
    void Open(const std::string* source = &kSource, std::optional<BoxAnswer> answer = BoxAnswer::Ok,
              qarvel::exam::MonotonicClock clock = {}) {
        form_.reset();
        recorder_ = std::make_unique<BoxRecorder>(answer.value_or(BoxAnswer::Ok));
        ExamWindowSetup setup = SetupFor(source != nullptr ? *source : std::string(), *recorder_);
        if (!answer) {
            setup.boxes = {};
        }
        setup.clock = std::move(clock);
        form_ = std::make_unique<ExamWindow>(std::move(setup));
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    template <class T = QWidget> T* Find(const char* name) const {
        T* widget = form_->findChild<T*>(QLatin1String(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    QString Text(const char* label) const { return Find<QLabel>(label)->text(); }
    AnswerEdit* Memo() const { return Find<AnswerEdit>("Memo1"); }
    SourceView* View() const { return Find<SourceView>("RichEdit1"); }
    QTimer* Timer() const { return Find<QTimer>("Timer1"); }
    Look At(int offset) const { return LookAtOffset(View(), offset); }
    QString Answer() const { return Memo()->toPlainText(); }
    // The exam's state in words on the title strip, empty when none is shown.
    QString StateWord() const {
        const auto* label = Find<QLabel>("LabelState");
        return label->isVisible() ? label->text() : QString();
    }
    // Where every control of the window is.
    QMap<QString, QRect> Layout() const {
        QMap<QString, QRect> places;
        for (const QWidget* w : form_->findChildren<QWidget*>()) {
            places.insert(w->objectName(), w->geometry());
        }
        return places;
    }

private slots:
    void cleanup() {
        static_cast<Application*>(QCoreApplication::instance())->setMessageBoxes({});
        form_.reset();
        recorder_.reset();
    }

    // A notice of the program's own is a line of the window: the answer keeps
    // the focus, and keys typed right after it still arrive.
    void aNoticeLeavesTheFocusInTheAnswer() {
        Open();
        Memo()->moveCaretToEnd();
        QVERIFY(Memo()->hasFocus());
        form_->ShowNotice(QStringLiteral("成绩记录无法保存到成绩文件夹 /srv/r（只读）"));
        const auto* notice = Find<QLabel>("LabelNotice");
        QVERIFY(notice->isVisible());
        QVERIFY(notice->geometry().right() < Find<QWidget>("Lab1")->geometry().left());
        QVERIFY(Memo()->hasFocus());
        QCOMPARE(QApplication::activeWindow(), form_.get());
        QTest::sendKeyEvent(QTest::Click, Memo(), Qt::Key_unknown, QStringLiteral("a"), {});
        QCOMPARE(Answer(), QStringLiteral("a"));
        form_->ShowNotice({});
        QVERIFY(!notice->isVisible());
    }

    void layoutPlacesEveryControl() {
        Open();
        for (const ControlPlace& place : kExamPlaces) {
            const QWidget* widget = Find(place.name);
            QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(place.parent));
            QCOMPARE(widget->geometry(), place.rect);
        }
    }

    void labelsCarryTheirTextFontAndColour_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("colour");
        auto row = [](const char* name, const char* parent, QPoint at, const char* text, int pixels,
                      bool bold, QColor colour) {
            QTest::newRow(name) << QString(name) << QString(parent) << at << QString::fromUtf8(text)
                                << pixels << bold << colour;
        };
        row("Label13", "Panel4", {56, 8}, "Qarvel考试1.0", 19, true, kBlack);
        row("Label15", "Panel1", {42, 9}, "剩余时间：", 16, false, kBlack);
        row("Label14", "Panel1", {125, 10}, "00:30:00", 16, false, kRed);
        row("Label20", "Panel1", {226, 9}, "已用时间:", 16, false, kBlack);
        row("Label21", "Panel1", {299, 9}, "00:00:00", 16, false, kBlue);
        row("Label16", "Panel1", {414, 8}, "考生姓名:", 16, false, kBlack);
        row("Label17", "Panel1", {493, 8}, "", 16, false, kBlack);
        row("Label18", "Panel1", {578, 7}, "学号:", 16, false, kBlack);
        row("Label19", "Panel1", {619, 7}, "", 16, false, kBlack);
        row("Label1", "Panel2", {8, 8}, "总字数：", 16, true, kBlack);
        row("Label2", "Panel2", {67, 6}, "7", 21, true, kBlue);
        row("Label3", "Panel2", {144, 8}, "其中字符数：", 16, true, kBlack);
        row("Label4", "Panel2", {248, 8}, "2", 21, true, kBlue);
        row("Label5", "Panel2", {296, 8}, "汉字数：", 16, true, kBlack);
        row("Label6", "Panel2", {360, 8}, "5", 21, false, kBlue);
        row("Label7", "Panel2", {424, 8}, "正确字符：", 16, true, kBlack);
        row("Label8", "Panel2", {504, 8}, "", 21, false, kBlue);
        row("Label9", "Panel2", {568, 8}, "正确汉字：", 16, true, kBlack);
        row("Label10", "Panel2", {656, 8}, "", 21, false, kBlue);
        row("Label11", "Panel2", {728, 8}, "得分：", 16, true, kBlack);
        row("Label12", "Panel2", {776, 8}, "", 21, true, kBlue);
        row("Lab1", "Form1", {816, 629}, "选择输入法", 13, false, kBlack);
    }
    void labelsCarryTheirTextFontAndColour() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QPoint, position);
        QFETCH(QString, text);
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        QFETCH(QColor, colour);
        Open();
        const auto* label = Find<QLabel>(name.toLatin1().constData());
        QCOMPARE(label->parentWidget()->objectName(), parent);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().pixelSize(), pixels);
        QCOMPARE(label->font().bold(), bold);
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        // Labels grow to their text.
        if (!text.isEmpty()) {
            QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
            QVERIFY(label->height() >= label->fontMetrics().height());
        }
    }

    void windowHasNoPlatformFrameAndStartsInTheSourceView() {
        Open();
        QCOMPARE(form_->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form_->windowTitle(), QStringLiteral("Qarvel"));
        QVERIFY(form_->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(form_->size(), QSize(922, 648));
        QVERIFY(!form_->windowIcon().isNull());
        QVERIFY(!Find<QLabel>("Image1")->pixmap().isNull());
        QVERIFY(!Find<QLabel>("Image2")->pixmap().isNull());
        QCOMPARE(Find<QLabel>("Image1")->pixmap().size(), QSize(21, 17));
        QVERIFY(recorder_->boxes.empty());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCOMPARE(QApplication::focusWidget(), View());
        // Tab goes from the source view to the answer box and back.
        QTest::keyClick(View(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Memo());
        QTest::keyClick(Memo(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), View());
    }

    void creationCountsTheSourceWithTheClockOff() {
        Open();
        QCOMPARE(Text("Label14"), QStringLiteral("00:30:00"));
        QCOMPARE(Text("Label21"), QStringLiteral("00:00:00"));
        QCOMPARE(Text("Label4"), QStringLiteral("2"));
        QCOMPARE(Text("Label6"), QStringLiteral("5"));
        QCOMPARE(Text("Label2"), QStringLiteral("7"));
        QVERIFY(!Timer()->isActive());
        QCOMPARE(form_->state().SourceText, kSource);
        QCOMPARE(View()->shownText(), QStringLiteral("汉字ab\n第二行"));
    }

    void withoutASourceTheWindowIsStillSetUp() {
        Open(nullptr);
        QVERIFY(recorder_->boxes.empty());
        QCOMPARE(Text("Label14"), QStringLiteral("00:30:00"));
        QCOMPARE(Text("Label21"), QStringLiteral("00:00:00"));
        QCOMPARE(Text("Label4"), QStringLiteral("0"));
        QCOMPARE(Text("Label6"), QStringLiteral("0"));
        QCOMPARE(Text("Label2"), QStringLiteral("0"));
        QVERIFY(!Timer()->isActive());
        QVERIFY(View()->shownText().isEmpty());
        // The clock can tick on these labels.
        form_->Timer1Timer();
        QCOMPARE(Text("Label14"), QStringLiteral("00:29:59"));
        QVERIFY(recorder_->boxes.empty());
        // With nothing to count, each change shows the score's error and the program goes on.
        TypeKey(Memo(), QStringLiteral("a"));
        QCOMPARE(recorder_->boxes.size(), std::size_t{1});
        QCOMPARE(recorder_->boxes.back().text, QStringLiteral("Invalid floating point operation."));
        QCOMPARE(Answer(), QStringLiteral("a"));
    }

    void typingMarksTheSourceAndCounts() {
        Open();
        Memo()->setFocus();
        TypeKey(Memo(), QStringLiteral("汉"));
        QCOMPARE(At(0).colour, kBlue);
        QVERIFY(!At(0).underline);
        QVERIFY(At(2).underline); // 字, the next character
        QCOMPARE(Text("Label10"), QStringLiteral("1"));
        QCOMPARE(Text("Label12"), QStringLiteral("14")); // 1 of 7
        QVERIFY(Timer()->isActive());

        Commit(Memo(), QStringLiteral("子")); // 字 is D7 D6, 子 D7 D3: wrong
        QCOMPARE(At(2).colour, kRed);
        QVERIFY(At(4).underline);
        QCOMPARE(Text("Label10"), QStringLiteral("1"));

        QTest::keyClick(Memo(), Qt::Key_Backspace); // deleting the wrong character
        QCOMPARE(Answer(), QStringLiteral("汉"));
        QCOMPARE(At(0).colour, kBlue);
        QVERIFY(At(2).underline);
        QVERIFY(!At(4).underline);
        QCOMPARE(At(4).colour, kBlack);

        // A phrase committed at once judges every character in turn.
        Commit(Memo(), QStringLiteral("字ab"));
        QCOMPARE(Answer(), QStringLiteral("汉字ab"));
        QCOMPARE(At(2).colour, kBlue);
        QCOMPARE(At(4).colour, kBlue);
        QCOMPARE(At(5).colour, kBlue);
        QVERIFY(!At(5).underline);
        QVERIFY(At(6).underline); // the line break
        QCOMPARE(Text("Label10"), QStringLiteral("2"));
        QCOMPARE(Text("Label8"), QStringLiteral("2"));
        QCOMPARE(Text("Label12"), QStringLiteral("57")); // 4 of 7
        // Nothing but colour and underline changes.
        QCOMPARE(LookAt(View(), 0).colour, kBlue);
        QCOMPARE(View()->font().pixelSize(), 19);
    }

    void enterAndBackspaceFollowTheRules() {
        Open();
        Memo()->setFocus();
        Commit(Memo(), QStringLiteral("汉字ab"));
        QTest::keyClick(Memo(), Qt::Key_Return);
        QCOMPARE(Answer(), QStringLiteral("汉字ab\n"));
        QCOMPARE(Memo()->gbkText(), Gbk("汉字ab\r\n"));
        TypeKey(Memo(), QStringLiteral("第"));
        QCOMPARE(At(8).colour, kBlue);
        QVERIFY(At(10).underline);
        QCOMPARE(Text("Label10"), QStringLiteral("3"));
        QTest::keyClick(Memo(), Qt::Key_Backspace);
        QTest::keyClick(Memo(), Qt::Key_Backspace); // at the start of line 1: the line break goes
        QCOMPARE(Answer(), QStringLiteral("汉字ab"));
        // Caret keys do not move the caret: typing still goes to the end.
        QTest::keyClick(Memo(), Qt::Key_Home);
        QTest::keyClick(Memo(), Qt::Key_Left);
        TypeKey(Memo(), QStringLiteral("c"));
        QCOMPARE(Answer(), QStringLiteral("汉字abc"));
    }

    void aClickMidAnswerThenTypingGoesToTheEnd() {
        Open();
        Memo()->setFocus();
        Commit(Memo(), QStringLiteral("汉字"));
        const QRect first = Memo()->cursorRect(QTextCursor(Memo()->document()));
        QTest::mouseClick(Memo()->viewport(), Qt::LeftButton, {}, first.center());
        TypeKey(Memo(), QStringLiteral("a"));
        QCOMPARE(Answer(), QStringLiteral("汉字a"));
        QCOMPARE(At(4).colour, kBlue);
    }

    void aClickInTheSourceSendsTheFocusBackUntilComplete() {
        Open();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCOMPARE(QApplication::focusWidget(), View());
        Memo()->setFocus();
        Commit(Memo(), QStringLiteral("汉"));
        View()->setFocus();
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(QApplication::focusWidget(), Memo());
        QCOMPARE(Memo()->textCursor().position(), 1);

        // One Chinese character in the source: typing it completes the exam.
        const std::string one = Gbk("汉abc");
        Open(&one);
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        Memo()->setFocus();
        TypeKey(Memo(), QStringLiteral("汉"));
        QVERIFY(!Memo()->isEnabled());
        QVERIFY(!Timer()->isActive());
        QCOMPARE(StateWord(), QStringLiteral("已完成"));
        QTest::mouseClick(Find("Pap1"), Qt::LeftButton); // still complete when paused
        QCOMPARE(StateWord(), QStringLiteral("已完成"));
        View()->setFocus();
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(QApplication::focusWidget(), View());
    }

    void pauseContinueAndTimeUp() {
        std::int64_t now = 0;
        Open(&kSource, BoxAnswer::Ok, [&now] { return now; });
        Memo()->setFocus();
        TypeKey(Memo(), QStringLiteral("汉"));
        QVERIFY(Timer()->isActive());
        QCOMPARE(StateWord(), QString());
        const auto layout = Layout();
        QTest::mouseClick(Find("Pap1"), Qt::LeftButton);
        QVERIFY(!Timer()->isActive());
        QVERIFY(Memo()->isReadOnly());
        QCOMPARE(StateWord(), QStringLiteral("已暂停"));
        QCOMPARE(Layout(), layout); // the state shows without moving anything
        TypeKey(Memo(), QStringLiteral("字"));
        QCOMPARE(Answer(), QStringLiteral("汉"));
        QTest::mouseClick(Find("Pap2"), Qt::LeftButton);
        QVERIFY(Timer()->isActive());
        QVERIFY(!Memo()->isReadOnly());
        QCOMPARE(StateWord(), QString());

        form_->SetDuration(QStringLiteral("00:00:03"));
        for (int i = 0; i < 3; ++i) {
            now += 1000;
            form_->Timer1Timer();
        }
        QCOMPARE(Text("Label14"), QStringLiteral("00:00:00"));
        QCOMPARE(Text("Label21"), QStringLiteral("00:00:03"));
        QVERIFY(Memo()->isReadOnly());
        QVERIFY(!Timer()->isActive());
        QCOMPARE(StateWord(), QStringLiteral("时间到"));
        QTest::mouseClick(Find("Pap2"), Qt::LeftButton); // no time to continue with
        QCOMPARE(StateWord(), QStringLiteral("时间到"));
        QCOMPARE(Layout(), layout);
        QVERIFY(recorder_->boxes.empty());
    }

    void theTimerTicksAndKeepsItsRhythm() {
        Open();
        Memo()->setFocus();
        TypeKey(Memo(), QStringLiteral("汉"));
        QVERIFY(Timer()->isActive());
        QCOMPARE(Timer()->interval(), 1000);
        QTRY_VERIFY(Timer()->remainingTime() < 900); // some of the second gone
        const int left = Timer()->remainingTime();
        TypeKey(Memo(), QStringLiteral("字")); // switching on while on does not restart it
        QVERIFY2(Timer()->remainingTime() <= left, "the running timer was restarted");
        QTRY_COMPARE_WITH_TIMEOUT(Text("Label21"), QStringLiteral("00:00:01"), 2000);
        QCOMPARE(Text("Label14"), QStringLiteral("00:29:59"));
    }

    // Ticks lost while the program was busy are made up by the next tick, and
    // the one after comes when the running second is over.
    void theClockKeepsRealTime() {
        std::int64_t now = 0;
        Open(&kSource, BoxAnswer::Ok, [&now] { return now; });
        TypeKey(Memo(), QStringLiteral("汉"));
        now = 3600;
        form_->Timer1Timer();
        QCOMPARE(Text("Label14"), QStringLiteral("00:29:57"));
        QCOMPARE(Text("Label21"), QStringLiteral("00:00:03"));
        QCOMPARE(Timer()->interval(), 400);
        now = 4000;
        form_->Timer1Timer();
        QCOMPARE(Text("Label21"), QStringLiteral("00:00:04"));
        QCOMPARE(Timer()->interval(), 1000);
    }

    void minimisingKeepsTheClockRunning() {
        Open();
        TypeKey(Memo(), QStringLiteral("汉"));
        QTest::mouseClick(Find("Image2"), Qt::LeftButton);
        QVERIFY(form_->windowState().testFlag(Qt::WindowMinimized));
        QVERIFY(Timer()->isActive());
    }

    void theCloseQuestionCancelled() {
        Open(&kSource, BoxAnswer::Cancel);
        Commit(Memo(), QStringLiteral("汉"));
        form_->SetDuration(QStringLiteral("00:29:41"));
        bool quit = false;
        QObject guard;
        connect(qApp, &QCoreApplication::aboutToQuit, &guard, [&] { quit = true; });
        QTest::mouseClick(Find("Image1"), Qt::LeftButton);
        QCOMPARE(recorder_->boxes.size(), std::size_t{1});
        const BoxRequest& box = recorder_->boxes.front();
        QCOMPARE(box.kind, BoxKind::Question);
        QCOMPARE(box.caption, QStringLiteral("提示"));
        QCOMPARE(box.text, QStringLiteral("您确定要结束考试吗?\r你还剩：00:29:41时间。"));
        QCoreApplication::processEvents(); // anything the answer left to do
        QVERIFY(!quit);
        QVERIFY(form_->isVisible());
        QCOMPARE(Answer(), QStringLiteral("汉"));
        QCOMPARE(At(0).colour, kBlue);
    }

    // The real dialog: its modal loop lets the clock tick; Cancel changes nothing.
    void theClockRunsWhileTheCloseQuestionIsOpen() {
        Open(&kSource, std::nullopt); // the real message boxes
        TypeKey(Memo(), QStringLiteral("汉"));
        QString buttons;
        QTimer::singleShot(1300, this, [&buttons] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            buttons = box->button(QMessageBox::Ok)->text() + QChar('/') +
                      box->button(QMessageBox::Cancel)->text();
            box->button(QMessageBox::Cancel)->click();
        });
        QTest::mouseClick(Find("Image1"), Qt::LeftButton);
        QCOMPARE(buttons, QStringLiteral("确定/取消"));
        QCOMPARE(Text("Label21"), QStringLiteral("00:00:01"));
        QVERIFY(Timer()->isActive());
        QVERIFY(form_->isVisible());
        QCOMPARE(Answer(), QStringLiteral("汉"));
    }

    // Each function key does what a click on its control does, and the
    // control's tool tip names it; the tab order stays as it was.
    void shortcutsWorkTheControls() {
        Open(&kSource, BoxAnswer::Cancel);
        TypeKey(Memo(), QStringLiteral("汉"));
        QMenu* menu = form_->ImeMenu();
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* control;
            const char* tip;
            std::function<bool()> done;
        } cases[] = {
            {Qt::Key_F5, Qt::NoModifier, "Pap1", "暂停（F5）",
             [&] { return Memo()->isReadOnly() && !Timer()->isActive(); }},
            {Qt::Key_F6, Qt::NoModifier, "Pap2", "继续（F6）",
             [&] { return !Memo()->isReadOnly() && Timer()->isActive(); }},
            {Qt::Key_F8, Qt::NoModifier, "Lab1", "选择输入法（F8）",
             [&] { return menu->isVisible(); }},
            {Qt::Key_F4, Qt::AltModifier, "Image1", "结束考试（Alt+F4）",
             [&] { return recorder_->boxes.size() == 1 && recorder_->boxes[0].caption == "提示"; }},
            {Qt::Key_F9, Qt::NoModifier, "Image2", "最小化（F9）",
             [&] { return form_->windowState().testFlag(Qt::WindowMinimized); }},
        };
        for (const auto& c : cases) {
            QCOMPARE(Find(c.control)->toolTip(), QString::fromUtf8(c.tip));
            Memo()->setFocus();
            QTest::keyClick(Memo(), c.key, c.modifiers);
            QVERIFY2(c.done(), c.tip);
            menu->hide();
        }
        QCOMPARE(Answer(), QStringLiteral("汉"));
    }

    void theCloseQuestionConfirmedEndsTheProgram() {
        Open();
        QTimer::singleShot(0, this, [this] { QTest::mouseClick(Find("Image1"), Qt::LeftButton); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(recorder_->boxes.size(), std::size_t{1});
    }

    void aCorruptPictureIsShownInTheErrorBox() {
        Open();
        QTemporaryDir dir;
        const QString garbage = dir.filePath(QStringLiteral("garbage.jpg"));
        const QString truncated = dir.filePath(QStringLiteral("truncated.jpg"));
        QFile original(QStringLiteral(":/pictures/close.jpg"));
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        for (const auto& [path, content] :
             {std::pair{garbage, QByteArray("\x89PNG not a picture at all")},
              std::pair{truncated, bytes.left(bytes.size() / 2)}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QLabel target;
        for (const QString& path : {garbage, truncated}) {
            recorder_->boxes.clear();
            QVERIFY(!ExamWindow::LoadPicture(&target, path, recorder_->messageBoxes()));
            QCOMPARE(recorder_->boxes.size(), std::size_t{1});
            QCOMPARE(recorder_->boxes.front().kind, BoxKind::Error);
            QVERIFY2(
                recorder_->boxes.front().text.startsWith(
                    QStringLiteral("Cannot read picture \"%1\": ").arg(QFileInfo(path).fileName())),
                qPrintable(recorder_->boxes.front().text));
            QVERIFY(target.pixmap().isNull());
        }
    }

    void anEscapingErrorIsShownAndTheProgramGoesOn() {
        Open();
        static_cast<Application*>(QCoreApplication::instance())
            ->setMessageBoxes(recorder_->messageBoxes());
        class Throwing : public QObject {
        protected:
            bool event(QEvent*) override { throw std::runtime_error("Broken handler"); }
        } throwing;
        QEvent event(QEvent::User);
        QApplication::sendEvent(&throwing, &event);
        QCOMPARE(recorder_->boxes.size(), std::size_t{1});
        QCOMPARE(recorder_->boxes.front().text, QStringLiteral("Broken handler."));
        TypeKey(Memo(), QStringLiteral("汉"));
        QCOMPARE(Text("Label10"), QStringLiteral("1"));
    }
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    ExamWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExamWindowTest.moc"
