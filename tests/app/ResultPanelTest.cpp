// The examinee's result at the end: the panel shows score, speed and accuracy
// by the report's rule without taking the focus, says whether the record is
// saved, and the line that said it could not be saved goes once it is.
#include "ui/ResultPanel.h"

#include "UiTestSupport.h"
#include "app/ExamFlow.h"
#include "app/ResultsSession.h"
#include "exam/ExamState.h"
#include "ui/AnswerEdit.h"
#include "ui/ExamWindow.h"
#include "ui/LoginWindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <memory>

using namespace qarvel::ui;
using namespace qarvel::ui::testing;
using qarvel::exam::ExamEvent;

namespace {

const std::string kSource = Gbk("汉字");
std::int64_t fakeNow = 0;

// The flow's options: its boxes answered by `boxes`, its clock the fake one.
qarvel::app::ExamFlow::Options FlowOptions(BoxRecorder& boxes) {
    qarvel::app::ExamFlow::Options options;
    options.window.boxes = boxes.messageBoxes();
    options.window.clock = [] { return fakeNow; };
    return options;
}

// An exam through the program's own course: the login, then typing; its
// message boxes answered with `answer`.
struct Exam {
    BoxRecorder boxes;
    WorkingFolder folder{&kSource};
    qarvel::app::ExamFlow flow{FlowOptions(boxes)};
    std::unique_ptr<qarvel::app::ResultsSession> session;

    explicit Exam(const QString& resultsFolder = {}, BoxAnswer answer = BoxAnswer::Ok)
        : boxes(answer) {
        if (!resultsFolder.isEmpty()) {
            qarvel::app::ResultsSession::Options options;
            options.folder = resultsFolder;
            options.spoolRoot = folder.path() + QStringLiteral("/spool");
            options.period = std::chrono::milliseconds(50);
            session = std::make_unique<qarvel::app::ResultsSession>(flow.examWindow(), options);
            QObject::connect(&flow, &qarvel::app::ExamFlow::examBegun, session.get(),
                             &qarvel::app::ResultsSession::Begin);
        }
        flow.loginWindow().findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText("张三");
        flow.loginWindow().Button1Click();
    }
    ~Exam() {
        if (session) {
            session->Finish();
        }
    }
    QWidget* answer() { return flow.examWindow().findChild<QWidget*>(QStringLiteral("Memo1")); }
    ResultPanel* panel() { return ResultPanel::Of(flow.examWindow()); }
    QRect answerBox() { return {answer()->mapTo(&flow.examWindow(), QPoint()), answer()->size()}; }
    QLabel* notice() { return flow.examWindow().findChild<QLabel*>(QStringLiteral("LabelNotice")); }
};

} // namespace

class ResultPanelTest : public QObject {
    Q_OBJECT

private slots:
    // The figures: one table, the rule the teacher's report uses.
    void theResultIsTheReportsRule() {
        qarvel::exam::ExamState state;
        state.SourceAsciiCount = 2;
        state.SourceHighByteCount = 8; // 4 Chinese characters: 6 in all
        state.CorrectHanziCount = 3;
        qarvel::exam::ExamLog log;
        log.events = {{0, ExamEvent::Kind::Append, Gbk("汉字人"), 0},
                      {30000, ExamEvent::Kind::Append, Gbk("x"), 0},
                      {60000, ExamEvent::Kind::Remove, {}, 1}};
        // 3 correct of 3 + 1 typed + 1 removed; one minute of clock.
        const ExamResult over = ResultOf(state, log, false, 60);
        QCOMPARE(over.score, std::optional<std::int64_t>(50));
        QCOMPARE(over.speed, std::optional<double>(3.0));
        QCOMPARE(over.accuracy, std::optional<double>(0.6));
        // Nothing typed and no source: no figures, no error.
        const ExamResult none = ResultOf({}, {}, false, 0);
        QVERIFY(!none.score && !none.speed && !none.accuracy);
    }

    void theExamCompleteShowsTheResultQuietly() {
        fakeNow = 0;
        Exam exam({}, BoxAnswer::Cancel);
        ResultPanel* panel = exam.panel();
        QVERIFY(panel != nullptr && !panel->isVisible());
        exam.answer()->setFocus();
        Commit(exam.answer(), QStringLiteral("汉"));
        fakeNow = 30000;
        Commit(exam.answer(), QStringLiteral("字"));
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->text(),
                 QStringLiteral("考试结果\n得分：100\n速度：4.0 字/分\n正确率：100.0%"));
        QVERIFY(QApplication::focusWidget() != panel);
        QCOMPARE(panel->focusPolicy(), Qt::NoFocus);
        QVERIFY(!panel->isWindow());
        // Over the answer box, inside the window.
        QVERIFY(exam.answerBox().contains(panel->geometry()));
        // The close question no longer speaks of time left.
        exam.boxes.boxes.clear();
        exam.flow.examWindow().Image1Click();
        QCOMPARE(exam.boxes.boxes.size(), std::size_t(1));
        QVERIFY(!exam.boxes.boxes[0].text.contains(QStringLiteral("还剩")));
    }

    // A folder that cannot take the record: the notice line and "not saved";
    // once the folder is back, both say so.
    void theRecordSavedOrNotAndTheNoticeClears() {
        QTemporaryDir dir;
        const QString results = dir.filePath(QStringLiteral("results"));
        QFile blocker(results); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Exam exam(results);
        Commit(exam.answer(), QStringLiteral("汉字"));
        QTRY_COMPARE(exam.panel()->record(), ResultPanel::Record::NotSaved);
        QVERIFY(exam.panel()->text().contains(QStringLiteral("尚未保存")));
        QVERIFY(exam.answerBox().contains(exam.panel()->geometry())); // grown inside the box
        QTRY_VERIFY(exam.notice()->isVisible());
        QVERIFY(QFile::remove(results) && QDir().mkpath(results));
        QTRY_COMPARE(exam.panel()->record(), ResultPanel::Record::Saved);
        QVERIFY(exam.panel()->text().endsWith(QStringLiteral("成绩已保存")));
        QTRY_VERIFY(!exam.notice()->isVisible());
    }
};

QTEST_MAIN(ResultPanelTest)
#include "ResultPanelTest.moc"
