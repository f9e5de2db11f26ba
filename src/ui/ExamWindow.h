#pragma once

#include "ExamSnapshot.h"
#include "ExamWindowSetup.h"
#include "Examinee.h"
#include "MessageBoxes.h"
#include "Palette.h"
#include "exam/ExamClock.h"
#include "exam/ExamRecorder.h"
#include "exam/ExamState.h"
#include "exam/ExamView.h"
#include "exam/TimeText.h"
#include "platform/InputMethodList.h"
#include "platform/KeyboardLayoutService.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMouseEvent;
class QTimer;

namespace qarvel::ui {

class AnswerEdit;
class ClickLabel;
class SourceView;

// The exam window Form1: the title strip, the clocks, the counters, the source
// view RichEdit1 with its marks and the answer box Memo1. It owns the exam's
// state and is the view the exam engine works through. It knows no other
// window and reads no file: the program body hands it what it shows (the
// setup, then the examinee) and shows it.
class ExamWindow : public QWidget, public exam::ExamView {
    Q_OBJECT
    // How many changes of the answer the window has judged (for diagnostics).
    Q_PROPERTY(int changeCount READ changeCount)
public:
    // When the window makes its controls. Later: once the login window has
    // been painted, in idle time, or as soon as anything needs them (the
    // program's start-up, where only the login window is wanted at first).
    enum class Controls { Now, Later };
    explicit ExamWindow(ExamWindowSetup setup, Controls controls = Controls::Now,
                        QWidget* parent = nullptr);
    ~ExamWindow() override;

    // Makes the controls and finishes setting the window up, if not yet done.
    void EnsureControls();

    // The state, with the source counted (the count is done now if it was not yet).
    [[nodiscard]] const exam::ExamState& state() const;
    [[nodiscard]] int changeCount() const { return changeCount_; }
    // The exam's typing as the handlers saw it, once started (at the login)
    // by whoever keeps a record of it; the answer box's real key presses.
    [[nodiscard]] exam::ExamRecorder& recorder() { return recorder_; }
    [[nodiscard]] const exam::ExamRecorder& recorder() const { return recorder_; }
    [[nodiscard]] std::int64_t realKeyPresses() const;
    [[nodiscard]] bool keyPressesCounted() const;

    // What the engine asks of the window.
    void SetClockEnabled(bool on) override;
    void MarkSource(int offset, exam::Mark mark) override;
    void SetFieldText(exam::Field field, const std::string& text) override;
    void DisableAnswer() override;
    void SetAnswerReadOnly(bool readOnly) override;

    // Handlers of the window's controls, named for the control and its event.
    void Memo1Change();        // the answer changed: judged by the engine
    void RichEdit1MouseDown(); // a click on the source sends the caret to the answer's end
    void Timer1Timer();        // the clock's tick: the seconds due are counted
    // The clock counts `seconds` seconds at once, as for a tick that came late.
    void CountSeconds(int seconds);
    // The clock's last count, after the loop that ran its timer has ended: a
    // running clock stops, and the whole seconds since its last tick count.
    void CountDueSecondsAndStop();
    void Pap1Click();   // pause
    void Pap2Click();   // continue
    void Image1Click(); // the close question
    void Image2Click(); // minimise every window of the program
    void Lab1Click();   // the input-method menu at the pointer
    // F8: the input-method menu at its label.
    void ShowImeMenu();
    void ImeMenuItemClick(QAction* item);
    // The input-method menu (PopupMenu1), made the first time it is asked for:
    // an exam where it is never opened carries no menu.
    QMenu* ImeMenu();

    // The examinee from the login: the name into Label17, the number into
    // Label19 (each with a tool tip holding all of it) and the duration, when
    // there is one, into Label14. The controls are made if not yet.
    void SetExaminee(const Examinee& examinee);
    // The exam's duration, as the login took it: the remaining time, shown as given.
    void SetDuration(const QString& duration);

    // The controls are made once `window` (the login window) has first been
    // painted, in idle time, and the source is counted in the next slice.
    void MakeControlsAfterFirstPaintOf(QWidget* window);

    // What the window shows and holds now; makes nothing.
    [[nodiscard]] ExamSnapshot Snapshot() const;
    // Where the exam stands, from the answer box and the remaining time.
    [[nodiscard]] exam::ExamPhase phase() const;

    // Shows the window: the controls are made, the source counted and the
    // labels sized first. The first time, it comes to the front.
    void setVisible(bool visible) override;

    // Starts moving the window by its title strip.
    void Panel4MouseDown(QMouseEvent* event);

    // A notice of the program's own (not of the exam) on one line at the foot
    // of the window, in red; the whole text in its tool tip. It takes no focus,
    // so no key typed meanwhile is lost. An empty text takes it away.
    void ShowNotice(const QString& text);

    // Shows a JPEG picture in `target`. A picture that cannot be read is shown
    // in the error box of `boxes` and `target` stays blank; returns false then.
    static bool LoadPicture(QLabel* target, const QString& path, const MessageBoxes& boxes);

signals:
    // The exam's course, for whoever keeps a record of it.
    void ticked();    // a tick of the clock has been counted
    void paused();    // Pap1Click has run
    void continued(); // Pap2Click has run
    void completed(); // the change just judged completed the exam
    void ended();     // the exam is over, complete or out of time (once)

protected:
    void changeEvent(QEvent* event) override;
    // A close of the main window ends the program at once.
    void closeEvent(QCloseEvent* event) override;

private:
    // The window itself and its clock, without controls.
    void SetUpWindow();
    // Before the window first comes on screen: where the designed window is
    // taller than the screen's available area, its text areas give up the
    // height it lacks and it comes in the middle of the area. Elsewhere it
    // stays as designed.
    void FitToScreen();
    void CreateControls();
    // F5 暂停, F6 继续, F8 选择输入法, F9 最小化, Alt+F4 the close question.
    void CreateShortcuts();
    void FormCreate();
    // Step 5 of FormCreate, the source's count: put off while the login window
    // comes on screen, done before anything needs it; runs once.
    void CountSource();
    [[nodiscard]] QLabel* LabelOf(exam::Field field) const;
    // Runs a handler; an exception that escapes it is shown in the window's error box.
    template <class F> bool Guarded(F&& handler) const noexcept {
        return setup_.boxes.Guarded(std::forward<F>(handler));
    }
    // Shows the exam's state in words on the title strip: paused, time up or
    // complete, nothing while the examinee can type.
    void ShowExamState();

    ExamWindowSetup setup_; // its source text moves into the state as the window is made
    exam::ExamState state_;
    // What SetFieldText last put in each label, as given and as shown.
    struct LabelShown {
        std::string gbk;
        QString text;
    };
    std::array<LabelShown, exam::kFieldCount> shown_;
    // The input methods of the menu; the list uses the service, which must outlive it.
    std::unique_ptr<platform::KeyboardLayoutService> layouts_;
    platform::InputMethodList inputMethods_;
    exam::TimeLocale locale_;
    exam::ClockPacer pacer_;
    exam::ExamRecorder recorder_;
    int changeCount_ = 0;
    int underlined_ = -1;    // the offset underlined by the latest change, or -1
    bool built_ = false;     // the controls have been made (EnsureControls)
    bool counted_ = false;   // the source has been counted into the state
    bool shownOnce_ = false; // the window has come on screen
    bool fitted_ = false;    // FitToScreen has run (before the first show)
    bool ended_ = false;     // ended() has been sent

    // The controls, by the names the exam's forms and tests use for them.
    // The title strip:
    QFrame* Panel4 = nullptr;     // the strip; a press on it moves the window
    QLabel* Image3 = nullptr;     // the program icon
    QLabel* Label13 = nullptr;    // the title "Qarvel考试1.0"
    QFrame* Panel3 = nullptr;     // holds the two pictures
    ClickLabel* Image2 = nullptr; // the minimise picture (F9)
    ClickLabel* Image1 = nullptr; // the close picture: the close question (Alt+F4)
    QLabel* LabelState = nullptr; // the exam's phase in words; hidden while typing
    // The exam area:
    QFrame* Panel1 = nullptr;   // the green area holding everything below
    QLabel* Label15 = nullptr;  // caption "剩余时间："
    QLabel* Label14 = nullptr;  // the remaining time, counted down by the clock
    QLabel* Label20 = nullptr;  // caption "已用时间:"
    QLabel* Label21 = nullptr;  // the elapsed time, counted up by the clock
    QLabel* Label16 = nullptr;  // caption "考生姓名:"
    QLabel* Label17 = nullptr;  // the examinee's name (cut to its room; tool tip)
    QLabel* Label18 = nullptr;  // caption "学号:"
    QLabel* Label19 = nullptr;  // the student number (cut to its room; tool tip)
    ClickLabel* Pap1 = nullptr; // the "暂停" button panel: pause (F5)
    ClickLabel* Pap2 = nullptr; // the "继续" button panel: continue (F6)
    // The counter strip: captions (odd numbers) and counts (even numbers).
    QFrame* Panel2 = nullptr;  // the strip
    QLabel* Label1 = nullptr;  // caption "总字数："
    QLabel* Label2 = nullptr;  // the source's characters
    QLabel* Label3 = nullptr;  // caption "其中字符数："
    QLabel* Label4 = nullptr;  // the source's ASCII characters
    QLabel* Label5 = nullptr;  // caption "汉字数："
    QLabel* Label6 = nullptr;  // the source's Chinese characters
    QLabel* Label7 = nullptr;  // caption "正确字符："
    QLabel* Label8 = nullptr;  // the correctly typed ASCII characters
    QLabel* Label9 = nullptr;  // caption "正确汉字："
    QLabel* Label10 = nullptr; // the correctly typed Chinese characters
    QLabel* Label11 = nullptr; // caption "得分："
    QLabel* Label12 = nullptr; // the score
    // The texts:
    SourceView* RichEdit1 = nullptr; // the source text, marked as it is typed
    AnswerEdit* Memo1 = nullptr;     // the answer box, judged on every change
    // Below the exam area, and the window's helpers:
    ClickLabel* Lab1 = nullptr;    // "选择输入法": opens the input-method menu (F8)
    QLabel* LabelNotice = nullptr; // ShowNotice's line, left of Lab1
    QTimer* Timer1 = nullptr;      // the clock's one-second tick
    QMenu* PopupMenu1 = nullptr;   // the input-method menu, made by ImeMenu()
    QList<QAction*> imeItems_;     // its entries, the window's own
};

} // namespace qarvel::ui
