#pragma once

#include "ui/ExamWindow.h"
#include "ui/Examinee.h"
#include "ui/LoginWindow.h"

#include <QObject>

namespace qarvel::app {

// The program's course between its two windows. The exam window is made
// first, so that a source that cannot be read is shown before anything else;
// then the login window. Run() opens the login modally, the exam window's
// controls being made once the login is on screen. On "开始考试" the examinee
// goes to the exam window as a value, the login closes and the exam window
// comes on screen; on "退出" the program ends and the exam window never comes.
// A login closed by the window system leaves the exam window to come on
// screen as it is.
class ExamFlow : public QObject {
    Q_OBJECT
public:
    explicit ExamFlow(ui::ExamWindow::Controls controls = ui::ExamWindow::Controls::Later);
    ~ExamFlow() override;

    ExamFlow(const ExamFlow&) = delete;
    ExamFlow& operator=(const ExamFlow&) = delete;

    [[nodiscard]] ui::ExamWindow& examWindow() { return exam_; }
    [[nodiscard]] ui::LoginWindow& loginWindow() { return login_; }

    // The login's modal loop; returns once the login has closed, with the exam
    // window on screen unless the examinee chose "退出".
    void Run();

signals:
    // The login ended other than by "退出": the exam has begun.
    void examBegun();

private:
    // The login asks to start with `examinee`: the one place where a start
    // is granted or refused.
    void StartRequested(const ui::Examinee& examinee);
    void ShowExamWindow();

    ui::ExamWindow exam_;
    ui::LoginWindow login_;
};

} // namespace qarvel::app
