#pragma once

#include "Examinee.h"
#include "MessageBoxes.h"
#include "exam/TimeText.h"

#include <QDialog>

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;

namespace qarvel::ui {

// The login window Form2: name, student number and exam duration. Shown
// modally (exec()) before the exam window comes on screen. "开始考试" with a
// name hands the examinee over (startRequested); whoever runs the exam starts
// it with AcceptStart(), which closes this window (exec() returns Accepted) and
// emits examStarted(). "退出" terminates the application (exec() returns
// kExitChosen). Any other close (the window system's) returns Rejected.
class LoginWindow : public QDialog {
    Q_OBJECT
public:
    // `boxes` answers the window's messages.
    explicit LoginWindow(MessageBoxes boxes = {}, QWidget* parent = nullptr);

    // Shows the window where it was designed to be, or in the middle of the
    // screen's available area when that place is not inside it.
    void setVisible(bool visible) override;

    // What exec() returns when the examinee chose "退出".
    static constexpr int kExitChosen = 2;

    // The words for reading the duration; the user's locale unless set here.
    void SetTimeLocale(const exam::TimeLocale& locale) { locale_ = locale; }

    // The exam's duration as the room's administrator fixed it: the field
    // shows it and cannot be changed. An empty text leaves it to the examinee.
    void SetFixedDuration(const QString& duration);
    // Whether "开始考试" refuses an empty student number ("学号不能为空。").
    void SetNumberRequired(bool required) { numberRequired_ = required; }

    // Once closed: lets go of the window system's window and the pixels kept
    // for repainting it. Showing the window again makes them afresh.
    void ReleaseWindowResources();

    // Handlers. A key-down handler cancels the key by setting it to 0; a
    // key-press handler cancels the character by setting it to QChar() (0).
    void FormShow();                          // rounds the corners, the name field focused
    void Edit1KeyDown(int& key);              // Enter in the name moves to the number
    void Edit2KeyPress(QChar& key);           // the number takes digits only
    void Edit3KeyPress(QChar& key);           // the duration takes digits and ":" only
    void Button1Click();                      // "开始考试": checks, then startRequested
    void Button2Click();                      // "退出": the program ends
    void Panel1MouseDown(QMouseEvent* event); // moves the window by its title strip

    // The start asked for is on: the window closes, ending its modal loop,
    // and examStarted() follows.
    void AcceptStart();

signals:
    // "开始考试" with a name: the examinee as entered. Sent before the duration
    // is refused, with no duration then (the window says why after it).
    void startRequested(const qarvel::ui::Examinee& examinee);
    // The login was accepted and this window has closed.
    void examStarted();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // Runs the key-press handler of `edit` on the characters `event` types;
    // true when the event was dealt with here.
    bool FilterTyping(QLineEdit* edit, void (LoginWindow::*keyPress)(QChar&), QEvent* event);

    MessageBoxes boxes_;
    exam::TimeLocale locale_;
    bool numberRequired_ = false;

    // The controls, by the names the exam's forms and tests use for them.
    QFrame* Panel1 = nullptr;       // the title strip; a press on it moves the window
    QLabel* Image1 = nullptr;       // the program icon
    QLabel* Label6 = nullptr;       // the title "Qarvel登录"
    QLabel* Label1 = nullptr;       // the heading "考生登录"
    QLabel* Label2 = nullptr;       // caption "考生姓名:"
    QLineEdit* Edit1 = nullptr;     // the name; Enter moves on to the number
    QLabel* Label3 = nullptr;       // caption "学   号:"
    QLineEdit* Edit2 = nullptr;     // the student number: digits only
    QLabel* Label4 = nullptr;       // caption "考试时间:"
    QLineEdit* Edit3 = nullptr;     // the duration: digits and ":" only
    QLabel* Label5 = nullptr;       // the hint "时间格式（时：分：秒）"
    QPushButton* Button1 = nullptr; // "开始考试"
    QPushButton* Button2 = nullptr; // "退出": ends the program
};

} // namespace qarvel::ui
