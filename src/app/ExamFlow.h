#pragma once

#include "exam/SourceFile.h"
#include "ui/ExamWindow.h"
#include "ui/ExamWindowSetup.h"
#include "ui/Examinee.h"
#include "ui/LoginWindow.h"
#include "ui/MessageBoxes.h"

#include <QObject>
#include <QString>
#include <string>

namespace qarvel::app {

// The source text as the program body loads it for the exam window.
struct LoadedSource {
    std::string text; // GBK, every line break CR LF; empty when it could not be read
    std::string file; // the file as the system found it (or did not), for messages and records
    QString sha256;   // hex SHA-256 of the bytes read; empty unless asked for and read
    bool read = false;
};

// Reads the source file once. Its SHA-256 is taken from the bytes as read,
// only when `fingerprinted` (a record is kept): a long source is not hashed
// for nothing. A failure is shown in the error box of `boxes`.
LoadedSource LoadSource(const std::string& path, bool fingerprinted, const ui::MessageBoxes& boxes);

// How the program body runs the exam: the source and the exam window's setup.
struct ExamFlowOptions {
    // The source text file; a relative path is taken after the working folder.
    std::string sourcePath = exam::kSourcePath;
    // Whether the source's SHA-256 is taken (for the results records).
    bool fingerprinted = false;
    ui::ExamWindow::Controls controls = ui::ExamWindow::Controls::Later;
    // The exam window's setup; its source text is the one loaded here.
    // Its message boxes answer the login's and the flow's too.
    ui::ExamWindowSetup window;
};

// The program's course between its two windows. The source is loaded first
// and the exam window made with it, so that a source that cannot be read is
// shown before anything else; then the login window. Run() opens the login
// modally, the exam window's controls being made once the login is on screen.
// On "开始考试" the examinee goes to the exam window as a value, the login
// closes and the exam window comes on screen; on "退出" the program ends and
// the exam window never comes. A login closed by the window system leaves the
// exam window to come on screen as it is.
class ExamFlow : public QObject {
    Q_OBJECT
public:
    using Options = ExamFlowOptions;

    explicit ExamFlow(Options options = {});
    ~ExamFlow() override;

    ExamFlow(const ExamFlow&) = delete;
    ExamFlow& operator=(const ExamFlow&) = delete;

    [[nodiscard]] ui::ExamWindow& examWindow() { return exam_; }
    [[nodiscard]] ui::LoginWindow& loginWindow() { return login_; }
    // The source as loaded (its text is the exam window's now).
    [[nodiscard]] const LoadedSource& source() const { return source_; }

    // The login's modal loop; returns once the login has closed, with the exam
    // window on screen unless the examinee chose "退出".
    void Run();

signals:
    // The login ended other than by "退出": the exam has begun.
    void examBegun();

private:
    // Loads the source into source_ and hands its text to the window's setup.
    ui::ExamWindowSetup WithSource(Options& options);
    // The login asks to start with `examinee`: the one place where a start
    // is granted or refused.
    void StartRequested(const ui::Examinee& examinee);
    void ShowExamWindow();

    ui::MessageBoxes boxes_;
    LoadedSource source_;
    ui::ExamWindow exam_;
    ui::LoginWindow login_;
};

} // namespace qarvel::app
