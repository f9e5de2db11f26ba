#pragma once

#include "results/Record.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>

namespace qarvel::results {
class ResultsWriter;
}

namespace qarvel::ui {
class ExamWindow;
} // namespace qarvel::ui

namespace qarvel::app {

// Keeps the record of the exam in the exam window up to date in the results
// folder: from the login on, every few seconds, at pause and continue, at
// completion and time up, and a last time when the program ends. It reads the
// exam through the window's snapshot and phase; the writing happens in a
// worker thread (results::ResultsWriter), never on the way of a keystroke.
class ResultsSession : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString folder;    // absolute
        QString spoolRoot; // empty: the user's state folder
        // The source as the program loaded it (ExamFlow::source()): the file as
        // the system found it, and its SHA-256; it is not read again.
        QString sourceFile;
        QString sourceSha256;
        // Often enough that a record is never more than 10 s behind.
        std::chrono::milliseconds period{9000};
        std::chrono::milliseconds timeout{3000};
    };

    // Records kept locally by earlier runs go out at once. The exam's own
    // record starts with Begin(), when the login has ended in an exam.
    ResultsSession(ui::ExamWindow& form, Options options);
    ~ResultsSession() override;

    // The exam has begun: the start time is now, the first record goes out.
    void Begin();
    // The program ends: the last record goes out, as "closed" unless the exam
    // was complete or its time up; waits until it is in the folder or kept
    // locally (at most the timeout and a second).
    void Finish();

    // The record as of now.
    [[nodiscard]] results::Record Snapshot() const;
    [[nodiscard]] bool begun() const { return begun_; }
    [[nodiscard]] const results::ResultsWriter* writer() const { return writer_.get(); }

    // SIGTERM and SIGHUP (log out, shut down) end the program as its own
    // close does, so that the last record is written.
    static void EndProgramOnSignals();

private:
    void Observe();
    void Submit();
    // The writer handled the submission `submission`: into the folder, or kept locally.
    void Written(std::uint64_t submission, bool inFolder);
    [[nodiscard]] QString CurrentState() const;

    ui::ExamWindow& form_;
    Options options_;
    std::unique_ptr<results::ResultsWriter> writer_;
    QTimer period_;
    results::Record fixed_; // what does not change during the exam
    QString name_;          // the record's file name
    QString state_;
    bool begun_ = false;
    bool finishing_ = false;
    bool noticeShown_ = false;        // the window shows that a record could not be saved
    std::uint64_t endSubmission_ = 0; // the first record of the ended exam, once submitted
    int pauses_ = 0;
    std::chrono::steady_clock::duration pausedFor_{};
    std::chrono::steady_clock::time_point pauseBegan_{};
};

} // namespace qarvel::app
