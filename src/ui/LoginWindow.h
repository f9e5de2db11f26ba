#pragma once

#include "exam/TimeText.h"

#include <QDialog>
#include <QPointer>

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;

namespace qarvel::ui {

// The login window Form2: name, student number and exam duration. Shown
// modally (exec()) before the exam window comes on screen. A successful start
// copies the name, the number and the duration into the exam window's labels
// Label17, Label19 and Label14, closes this window (exec() returns Accepted),
// emits examStarted() and asks the exam window to come to the front. "退出"
// terminates the application (exec() returns kExitChosen). Any other close
// (the window system's) returns Rejected with nothing copied.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    // `examWindow` holds the labels named Label14, Label17 and Label19; it may
    // be null (nothing is copied then).
    explicit TForm2(QWidget* examWindow, QWidget* parent = nullptr);

    // What exec() returns when the examinee chose "退出".
    static constexpr int kExitChosen = 2;

    // The words for reading the duration; the user's locale unless set here.
    void SetTimeLocale(const exam::TimeLocale& locale) { locale_ = locale; }

    // Once closed: lets go of the window system's window and the pixels kept
    // for repainting it. Showing the window again makes them afresh.
    void ReleaseWindowResources();

    // Handlers. A key-down handler cancels the key by setting it to 0; a
    // key-press handler cancels the character by setting it to QChar() (0).
    void FormShow();
    void Edit1KeyDown(int& key);
    void Edit2KeyPress(QChar& key);
    void Edit3KeyPress(QChar& key);
    void Button1Click();
    void Button2Click();
    void Panel1MouseDown(QMouseEvent* event);

signals:
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
    bool FilterTyping(QLineEdit* edit, void (TForm2::*keyPress)(QChar&), QEvent* event);
    void SetExamLabel(const char* name, const QString& text, bool withToolTip = false);

    QPointer<QWidget> examWindow_;
    exam::TimeLocale locale_;

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace qarvel::ui
