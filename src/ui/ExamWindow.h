#pragma once

#include "Palette.h"
#include "exam/ExamClock.h"
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
class TForm2;

// The exam window Form1: the title strip, the clocks, the counters, the source
// view RichEdit1 with its marks and the answer box Memo1. It owns the exam's
// state and is the view the exam engine works through.
class TForm1 : public QWidget, public exam::ExamView {
    Q_OBJECT
    // How many changes of the answer the window has judged (for diagnostics).
    Q_PROPERTY(int changeCount READ changeCount)
public:
    // When the window makes its controls. Later: once the login window has
    // been painted, in idle time, or as soon as anything needs them (the
    // program's start-up, where only the login window is wanted at first).
    enum class Controls { Now, Later };
    explicit TForm1(QWidget* parent = nullptr, Controls controls = Controls::Now);
    ~TForm1() override;

    // Makes the controls and finishes setting the window up, if not yet done.
    void EnsureControls();

    // The state, with the source counted (the count is done now if it was not yet).
    [[nodiscard]] const exam::ExamState& state() const;
    [[nodiscard]] int changeCount() const { return changeCount_; }

    // What the engine asks of the window.
    void SetClockEnabled(bool on) override;
    void MarkSource(int offset, exam::Mark mark) override;
    void SetLabelText(exam::Label label, const std::string& text) override;
    [[nodiscard]] std::string LabelText(exam::Label label) const override;
    void DisableAnswer() override;
    [[nodiscard]] bool AnswerDisabled() const override;
    void SetAnswerReadOnly(bool readOnly) override;

    // Handlers of the window's controls.
    void Memo1Change();
    void RichEdit1MouseDown();
    void Timer1Timer();
    void Pap1Click();
    void Pap2Click();
    void Image1Click();
    void Image2Click();
    void Lab1Click();
    // F8: the input-method menu at its label.
    void ShowImeMenu();
    void ImeMenuItemClick(QAction* item);
    // The input-method menu (PopupMenu1), made the first time it is asked for:
    // an exam where it is never opened carries no menu.
    QMenu* ImeMenu();

    // Where the window finds the desktop's input methods. By default the
    // running fcitx5 or ibus; tests install a scripted service. Takes effect
    // for windows created afterwards; an empty factory restores the default.
    using KeyboardLayoutFactory = std::function<std::unique_ptr<platform::KeyboardLayoutService>()>;
    static void SetKeyboardLayoutFactory(KeyboardLayoutFactory factory);

    // The source text file that windows created afterwards load: by default
    // vexo/2.txt in the working directory; an empty path restores that.
    static void SetSourcePath(std::string path);

    // The monotonic clock that paces the exam's clock; tests install a fake
    // one. Takes effect for windows created afterwards; empty: the system's.
    static void SetMonotonicClock(exam::MonotonicClock clock);

    // The login window that FormShow opens; none in tests of the window alone.
    void SetLoginWindow(TForm2* login);

    // Shows the window. The first time, FormShow runs first and the window
    // comes on screen only after it: not at all when the examinee chose to
    // end the program from the login window.
    void setVisible(bool visible) override;

    // Opens the login window modally; the window is not on screen meanwhile.
    void FormShow();
    // Starts moving the window by its title strip.
    void Panel4MouseDown(QMouseEvent* event);

    // Rounds the corners of `control` (this window or one of the controls of
    // either window) with corner ellipses `ellipseWidth` by `ellipseHeight`.
    void RoundControl(QWidget* control, int ellipseWidth, int ellipseHeight);

    // Shows a JPEG picture in `target`. A picture that cannot be read is shown
    // in the error box and `target` stays blank; returns false then.
    static bool LoadPicture(QLabel* target, const QString& path);

signals:
    // The exam's course, for whoever keeps a record of it.
    void ticked();    // a tick of the clock has been counted
    void paused();    // Pap1Click has run
    void continued(); // Pap2Click has run
    void completed(); // the change just judged completed the exam

protected:
    void changeEvent(QEvent* event) override;
    // A close of the main window ends the program at once.
    void closeEvent(QCloseEvent* event) override;

private:
    // The window itself and its clock, without controls.
    void SetUpWindow();
    void CreateControls();
    // F5 暂停, F6 继续, F8 选择输入法, F9 最小化, Alt+F4 the close question.
    void CreateShortcuts();
    void FormCreate();
    // The source file, read as the window is made: a failure is shown before
    // any window comes on screen.
    void ReadSource();
    // Step 5 of FormCreate, the source's count: put off while the login window
    // comes on screen, done before anything needs it; runs once.
    void CountSource();
    [[nodiscard]] QLabel* LabelOf(exam::Label label) const;
    // Shows the exam's state in words on the title strip: paused, time up or
    // complete, nothing while the examinee can type.
    void ShowExamState();

    exam::ExamState state_;
    // What SetLabelText last put in each label, as given and as shown.
    struct LabelShown {
        std::string gbk;
        QString text;
    };
    std::array<LabelShown, 8> shown_;
    // The input methods of the menu; the list uses the service, which must outlive it.
    std::unique_ptr<platform::KeyboardLayoutService> layouts_;
    platform::InputMethodList inputMethods_;
    exam::TimeLocale locale_;
    exam::ClockPacer pacer_;
    int changeCount_ = 0;
    int underlined_ = -1; // the offset underlined by the latest change, or -1
    QPointer<TForm2> login_;
    bool built_ = false;     // the controls have been made (EnsureControls)
    bool counted_ = false;   // the source has been counted into the state
    bool formShown_ = false; // FormShow has run (it runs once)
    bool ending_ = false;    // the login ended the program: never come on screen

    QFrame* Panel4 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Label13 = nullptr;
    QFrame* Panel3 = nullptr;
    ClickLabel* Image2 = nullptr;
    ClickLabel* Image1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    ClickLabel* Pap1 = nullptr;
    ClickLabel* Pap2 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    SourceView* RichEdit1 = nullptr;
    AnswerEdit* Memo1 = nullptr;
    ClickLabel* Lab1 = nullptr;
    QLabel* LabelState = nullptr; // the exam's state in words
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr; // made by ImeMenu()
    QList<QAction*> imeItems_;   // its entries, the window's own
};

} // namespace qarvel::ui
