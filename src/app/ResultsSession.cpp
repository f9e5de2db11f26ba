#include "ResultsSession.h"

#include "SessionSystem.h"
#include "exam/ExamPhase.h"
#include "platform/GbkText.h"
#include "results/ResultsWriter.h"
#include "ui/ExamWindow.h"
#include "ui/ResultPanel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTimer>

namespace qarvel::app {
namespace {

using ui::ExamWindow;

using Clock = std::chrono::steady_clock;

} // namespace

ResultsSession::ResultsSession(ExamWindow& form, Options options)
    : form_(form), options_(std::move(options)) {
    if (options_.spoolRoot.isEmpty()) {
        options_.spoolRoot = results::ResultsWriter::DefaultSpoolRoot();
    }
    QPointer<ResultsSession> self(this);
    // From the writer's thread: where each record went is the window's business.
    const auto written = [self](std::uint64_t submission, bool inFolder) {
        QMetaObject::invokeMethod(
            qApp,
            [self, submission, inFolder] {
                if (ResultsSession* session = self.data()) {
                    session->Written(submission, inFolder);
                }
            },
            Qt::QueuedConnection);
    };
    writer_ = std::make_unique<results::ResultsWriter>(
        results::ResultsWriter::Config{options_.folder,
                                       options_.spoolRoot,
                                       options_.timeout,
                                       std::chrono::milliseconds(10000),
                                       {},
                                       written},
        [self, folder = options_.folder](const QString& reason) {
            // From the writer's thread: the message is the window's business.
            QMetaObject::invokeMethod(
                qApp,
                [self, folder, reason] {
                    ResultsSession* session = self.data();
                    if (session == nullptr || session->finishing_) {
                        return;
                    }
                    // A line in the exam window, not a box: the focus stays in
                    // the answer and no key typed meanwhile is lost.
                    session->noticeShown_ = true;
                    session->form_.ShowNotice(
                        QStringLiteral("成绩记录无法保存到成绩文件夹 %1（%2）。考试照常进行，"
                                       "成绩先保存在本机，文件夹恢复后会自动补交。")
                            .arg(folder, reason));
                },
                Qt::QueuedConnection);
        });
    period_.setInterval(options_.period);
    connect(&period_, &QTimer::timeout, this, &ResultsSession::Submit);
    // Queued: the keystroke that completes the exam only posts an event.
    connect(&form_, &ExamWindow::completed, this, &ResultsSession::Observe, Qt::QueuedConnection);
    connect(&form_, &ExamWindow::ticked, this, &ResultsSession::Observe);
    connect(&form_, &ExamWindow::paused, this, &ResultsSession::Observe);
    connect(&form_, &ExamWindow::continued, this, &ResultsSession::Observe);
}

ResultsSession::~ResultsSession() = default;

void ResultsSession::Begin() {
    if (begun_ || finishing_) {
        return;
    }
    begun_ = true;
    fixed_.program = results::ProgramVersion();
    fixed_.host = QSysInfo::machineHostName();
    fixed_.user = AccountName();
    const ui::ExamSnapshot exam = form_.Snapshot();
    fixed_.name = exam.name;
    fixed_.number = exam.number;
    fixed_.duration = exam.remaining; // not counted down yet
    fixed_.start = results::NowWithOffset();
    fixed_.sourcePath = QDir::cleanPath(options_.sourceFile);
    fixed_.sourceSha256 = options_.sourceSha256;
    fixed_.sourceTotal = exam.sourceTotal.toInt();
    fixed_.sourceAscii = exam.sourceAscii.toInt();
    fixed_.sourceHanzi = exam.sourceHanzi.toInt();
    state_ = CurrentState();
    // The name is the exam's own: no other exam, here or elsewhere, and no
    // file made beforehand by someone else can take it (ResultsWriter).
    name_ = results::RecordFileName(fixed_, results::RandomNameTag());
    if (!form_.recorder().started()) {
        form_.recorder().Start();
    }

    Submit();
    period_.start();
}

QString ResultsSession::CurrentState() const {
    switch (form_.phase()) {
    case exam::ExamPhase::Complete:
        return QString::fromLatin1(results::kComplete);
    case exam::ExamPhase::TimedOut:
        return QString::fromLatin1(results::kTimeUp);
    case exam::ExamPhase::Paused:
        return QString::fromLatin1(results::kPaused);
    case exam::ExamPhase::Typing:
        break;
    }
    return QString::fromLatin1(results::kRunning);
}

void ResultsSession::Observe() {
    if (!begun_ || finishing_) {
        return;
    }
    const QString now = CurrentState();
    if (now == state_) {
        return;
    }
    const bool wasPaused = state_ == QLatin1String(results::kPaused);
    const bool isPaused = now == QLatin1String(results::kPaused);
    if (isPaused && !wasPaused) {
        ++pauses_;
        pauseBegan_ = Clock::now();
    } else if (wasPaused && !isPaused) {
        pausedFor_ += Clock::now() - pauseBegan_;
    }
    state_ = now;
    Submit();
}

results::Record ResultsSession::Snapshot() const {
    results::Record r = fixed_;
    r.updated = results::NowWithOffset();
    r.state = state_;
    const ui::ExamSnapshot exam = form_.Snapshot();
    r.remaining = exam.remaining;
    r.elapsed = exam.elapsed;
    r.correctAscii = exam.correctAsciiCount;
    r.correctHanzi = exam.correctHanziCount;
    r.score = exam.score.toInt();
    r.changes = exam.changes;
    r.pauses = pauses_;
    auto paused = pausedFor_;
    if (state_ == QLatin1String(results::kPaused)) {
        paused += Clock::now() - pauseBegan_;
    }
    r.pauseSeconds = std::chrono::duration_cast<std::chrono::seconds>(paused).count();
    r.answer = platform::FromGbk(exam.judgedAnswer);
    r.answer.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const exam::ExamRecorder& recorder = form_.recorder();
    r.hasLog = recorder.started();
    r.log = recorder.log();
    r.log.keyPresses = form_.keyPressesCounted() ? form_.realKeyPresses() : -1;
    r.loggedAt = recorder.Now();
    return r;
}

void ResultsSession::Submit() {
    if (!begun_ || finishing_) {
        return;
    }
    const std::uint64_t submission =
        writer_->Submit(name_, [record = Snapshot()] { return results::ToJson(record); });
    const bool over =
        state_ == QLatin1String(results::kComplete) || state_ == QLatin1String(results::kTimeUp);
    if (over && endSubmission_ == 0) {
        // The record that says how the exam ended is on its way.
        endSubmission_ = submission;
        if (ui::ResultPanel* panel = ui::ResultPanel::Of(form_)) {
            panel->SetRecord(ui::ResultPanel::Record::Saving);
        }
    }
}

void ResultsSession::Written(std::uint64_t submission, bool inFolder) {
    if (finishing_) {
        return;
    }
    if (inFolder && noticeShown_) {
        // Delivered: the line that said it could not be saved goes.
        noticeShown_ = false;
        form_.ShowNotice({});
    }
    ui::ResultPanel* panel = ui::ResultPanel::Of(form_);
    if (endSubmission_ == 0 || submission < endSubmission_ || panel == nullptr ||
        panel->record() == ui::ResultPanel::Record::Saved) {
        return;
    }
    panel->SetRecord(inFolder ? ui::ResultPanel::Record::Saved : ui::ResultPanel::Record::NotSaved);
}

void ResultsSession::Finish() {
    if (finishing_) {
        return;
    }
    if (!begun_) {
        finishing_ = true;
        writer_.reset(); // records of earlier runs may still be on their way: no waiting
        return;
    }
    // The last record is made when the window has gone, which can take a
    // while (its timer no longer runs): the seconds since its last tick count.
    form_.CountDueSecondsAndStop();
    Observe();
    finishing_ = true;
    period_.stop();
    if (state_ != QLatin1String(results::kComplete) && state_ != QLatin1String(results::kTimeUp)) {
        if (state_ == QLatin1String(results::kPaused)) {
            pausedFor_ += Clock::now() - pauseBegan_;
        }
        state_ = QString::fromLatin1(results::kClosed);
    }
    writer_->Submit(name_, [record = Snapshot()] { return results::ToJson(record); });
    writer_->Flush(options_.timeout + std::chrono::seconds(1));
    writer_.reset();
}

void ResultsSession::EndProgramOnSignals() {
    EndProgramOnEndRequests();
}

} // namespace qarvel::app
