#include "ExamWindow.h"

#include "AnswerEdit.h"
#include "ClickLabel.h"
#include "CounterLabel.h"
#include "ElidingLabel.h"
#include "ExamLayout.h"
#include "ExamSnapshot.h"
#include "Examinee.h"
#include "FirstPaint.h"
#include "Fonts.h"
#include "HiDpi.h"
#include "MessageBoxes.h"
#include "Pictures.h"
#include "Rounding.h"
#include "ScreenFit.h"
#include "SourceView.h"
#include "TextViewAccessible.h"
#include "TitleStrip.h"
#include "exam/CompareAnswer.h"
#include "exam/Errors.h"
#include "exam/ExamClock.h"
#include "exam/ExamPhase.h"
#include "exam/SourceCount.h"
#include "platform/GbkText.h"
#include "platform/JpegImage.h"
#include "platform/LocaleWords.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QTextCursor>
#include <QTimer>
#include <QVariant>
#include <cstdint>
#include <utility>

namespace qarvel::ui {
namespace {

using exam::Field;

QColor Rgb(unsigned rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

// A raised bevel: a white edge at the top and left, a grey one at the bottom and right.
void Raise(QFrame* frame) {
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(1);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Light, QColor(255, 255, 255));
    palette.setColor(QPalette::Dark, QColor(160, 160, 160));
    frame->setPalette(palette);
}

// A panel without bevel, or with a raised one.
QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry, const QColor& colour,
                  bool raised = false) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(geometry);
    Fill(panel, colour);
    if (raised) {
        Raise(panel);
    }
    return panel;
}

// Labels size themselves to their text, from their top-left corner. Measuring
// text loads the face at the label's size, and the login window, which comes
// on screen first, needs few of this window's sizes: while the window is not
// on screen a label only notes that it must grow, and FitLabels sizes it just
// before the window is shown.
constexpr const char* kFitPending = "qarvelFitPending";

void FitToText(QLabel* label) {
    label->resize(label->sizeHint());
}

void SetCaption(QLabel* label, const QString& text) {
    label->setText(text);
    if (label->window()->isVisible()) {
        FitToText(label);
    } else {
        label->setProperty(kFitPending, true);
    }
}

void FitLabels(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->property(kFitPending).toBool()) {
            label->setProperty(kFitPending, QVariant());
            FitToText(label);
        }
    }
}

template <class L = QLabel>
L* MakeLabel(QWidget* parent, const char* name, QRect geometry, const QString& text, int pixels,
             bool bold = false, const QColor& colour = kBlack) {
    auto* label = new L(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(SongFont(pixels, bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    KeepBoldAtEveryScale(label);
    if (!text.isEmpty()) {
        SetCaption(label, text);
    }
    return label;
}

// A counter of the counter strip: blue, 21 pixels, up to the caption after it
// (at `nextX`), less a 4-pixel gap.
CounterLabel* MakeCounter(QWidget* parent, const char* name, QRect geometry, int nextX, bool bold) {
    auto* counter = MakeLabel<CounterLabel>(parent, name, geometry, {}, 21, bold, kBlue);
    counter->setMaximumTextWidth(nextX - 4 - geometry.x());
    return counter;
}

ClickLabel* MakePicture(QWidget* parent, const char* name, QRect geometry) {
    auto* picture = new ClickLabel(parent);
    picture->setObjectName(QLatin1String(name));
    picture->setGeometry(geometry);
    picture->setScaledContents(true);
    return picture;
}

// Pap1 and Pap2: yellow raised panels with a centred caption.
ClickLabel* MakeButtonPanel(QWidget* parent, const char* name, QRect geometry, const QString& text,
                            const QFont& font) {
    auto* panel = new ClickLabel(text, parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(geometry);
    panel->setFont(font);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, kBlack);
    panel->setPalette(palette);
    panel->setAlignment(Qt::AlignCenter);
    Fill(panel, Rgb(kYellowRgb));
    Raise(panel);
    return panel;
}

QString Decimal(std::int32_t value) {
    return QString::number(value);
}

exam::MonotonicClock OrSteady(const exam::MonotonicClock& clock) {
    return clock ? clock : exam::SteadyClock();
}

} // namespace

ExamWindow::ExamWindow(ExamWindowSetup setup, Controls controls, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), setup_(std::move(setup)),
      locale_(platform::SystemTimeLocale()), pacer_(OrSteady(setup_.clock)),
      recorder_(OrSteady(setup_.clock)) {
    RegisterPictures();
    SetUpWindow();
    // The source as the program body loaded it: the state holds the one copy.
    state_.SourceText = std::move(setup_.sourceText);
    std::string().swap(setup_.sourceText);
    if (controls == Controls::Now) {
        EnsureControls();
    }
}

ExamWindow::~ExamWindow() = default;

void ExamWindow::EnsureControls() {
    if (built_) {
        return;
    }
    built_ = true;
    CreateControls();
    FormCreate();
}

void ExamWindow::SetUpWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Qarvel"));
    setFixedSize(922, 648);
    PrepareRoundedWindow(this);
    move(56, 68);
    Fill(this, Rgb(kHighlightRgb));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(exam::kClockPeriodMs);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void ExamWindow::CreateControls() {
    // Screen readers read the two text views; nothing edits them that way.
    InstallTextViewAccessibility();
    // The designed default face cannot show Chinese; the Song face at the size
    // its Chinese fallback is drawn at stands in for it.
    const QFont defaultFont = SongFont(12);
    setFont(defaultFont);

    // The title strip.
    Panel4 = MakePanel(this, "Panel4", PlaceOf("Panel4"), Rgb(kHighlightRgb));
    Image3 = new QLabel(Panel4);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(PlaceOf("Image3"));
    Image3->setScaledContents(true);
    const QImage& icon = ProgramIcon();
    if (icon.isNull()) {
        setup_.boxes.ShowError(QStringLiteral("Cannot read picture \"icon.png\""));
    } else {
        SetPicture(Image3, icon, ProgramIcon2x());
        setWindowIcon(ProgramIconSet());
    }
    Label13 =
        MakeLabel(Panel4, "Label13", {56, 8, 153, 19}, QStringLiteral("Qarvel考试1.0"), 19, true);
    Panel3 = MakePanel(Panel4, "Panel3", PlaceOf("Panel3"), Rgb(kHighlightRgb));
    Image2 = MakePicture(Panel3, "Image2", PlaceOf("Image2"));
    Image1 = MakePicture(Panel3, "Image1", PlaceOf("Image1"));
    LoadPicture(Image2, QStringLiteral(":/pictures/minimise.jpg"), setup_.boxes);
    LoadPicture(Image1, QStringLiteral(":/pictures/close.jpg"), setup_.boxes);
    Image2->setClickHandler([this] { Image2Click(); });
    Image1->setClickHandler([this] { Image1Click(); });
    // The pictures show no text of their own: screen readers say these names.
    Image3->setAccessibleName(QStringLiteral("图标"));
    Image2->setAccessibleName(QStringLiteral("最小化"));
    Image1->setAccessibleName(QStringLiteral("关闭"));
    // The exam's state in words, in the middle of the strip; hidden while the
    // examinee can type. It lies over the strip's free area without taking
    // presses, so the strip still moves the window there.
    LabelState = MakeLabel(Panel4, "LabelState", {400, 5, 121, 23}, {}, 19, true);
    LabelState->setAlignment(Qt::AlignCenter);
    Fill(LabelState, Rgb(kYellowRgb));
    LabelState->setAttribute(Qt::WA_TransparentForMouseEvents);
    LabelState->hide();
    // Presses on the strip's free area move the window; the title, the icon
    // and the pictures' panel take their presses themselves.
    MakeTitleStrip(Panel4, [this](QMouseEvent* event) { Panel4MouseDown(event); });

    // The exam area.
    Panel1 = MakePanel(this, "Panel1", PlaceOf("Panel1"), Rgb(kLimeRgb));
    Label15 = MakeLabel(Panel1, "Label15", {42, 9, 80, 16}, QStringLiteral("剩余时间："), 16);
    Label14 = MakeLabel(Panel1, "Label14", {125, 10, 56, 16}, {}, 16, false, kRed);
    Label20 = MakeLabel(Panel1, "Label20", {226, 9, 72, 16}, QStringLiteral("已用时间:"), 16);
    Label21 = MakeLabel(Panel1, "Label21", {299, 9, 56, 16}, {}, 16, false, kBlue);
    Fill(Label21, Rgb(kLimeRgb));
    Label16 = MakeLabel(Panel1, "Label16", {414, 8, 72, 16}, QStringLiteral("考生姓名:"), 16);
    // The examinee's name and number grow up to the next control (less a
    // 4-pixel gap) and are cut there; their tool tips carry the whole text.
    Label17 = MakeLabel<ElidingLabel>(Panel1, "Label17", {493, 8, 8, 16}, {}, 16);
    static_cast<ElidingLabel*>(Label17)->setMaximumTextWidth(578 - 4 - 493); // Label18
    Label18 = MakeLabel(Panel1, "Label18", {578, 7, 40, 16}, QStringLiteral("学号:"), 16);
    Label19 = MakeLabel<ElidingLabel>(Panel1, "Label19", {619, 7, 8, 16}, {}, 16);
    static_cast<ElidingLabel*>(Label19)->setMaximumTextWidth(755 - 4 - 619); // Pap1
    Pap1 = MakeButtonPanel(Panel1, "Pap1", PlaceOf("Pap1"), QStringLiteral("暂停"), defaultFont);
    Pap2 = MakeButtonPanel(Panel1, "Pap2", PlaceOf("Pap2"), QStringLiteral("继续"), defaultFont);
    Pap1->setClickHandler([this] { Pap1Click(); });
    Pap2->setClickHandler([this] { Pap2Click(); });

    // The counter strip.
    Panel2 = MakePanel(Panel1, "Panel2", PlaceOf("Panel2"), Rgb(kPanelRgb), true);
    Label1 = MakeLabel(Panel2, "Label1", {8, 8, 68, 16}, QStringLiteral("总字数："), 16, true);
    Label2 = MakeCounter(Panel2, "Label2", {67, 6, 12, 21}, 144, true); // Label3
    Label3 =
        MakeLabel(Panel2, "Label3", {144, 8, 102, 16}, QStringLiteral("其中字符数："), 16, true);
    Label4 = MakeCounter(Panel2, "Label4", {248, 8, 12, 21}, 296, true); // Label5
    Label5 = MakeLabel(Panel2, "Label5", {296, 8, 68, 16}, QStringLiteral("汉字数："), 16, true);
    Label6 = MakeCounter(Panel2, "Label6", {360, 8, 11, 21}, 424, false); // Label7
    Label7 = MakeLabel(Panel2, "Label7", {424, 8, 85, 16}, QStringLiteral("正确字符："), 16, true);
    Label8 = MakeCounter(Panel2, "Label8", {504, 8, 11, 21}, 568, false); // Label9
    Label9 = MakeLabel(Panel2, "Label9", {568, 8, 85, 16}, QStringLiteral("正确汉字："), 16, true);
    Label10 = MakeCounter(Panel2, "Label10", {656, 8, 11, 21}, 728, false); // Label11
    Label11 = MakeLabel(Panel2, "Label11", {728, 8, 51, 16}, QStringLiteral("得分："), 16, true);
    Label12 = MakeCounter(Panel2, "Label12", {776, 8, 12, 21}, 865 - 4, true); // Panel2's edge

    // The source view and the answer box, in the Song face at 19 pixels. A text
    // control lays its empty document out as it is made, in the application's
    // default face (MakeInFace) and in the face of its parent: Panel1 has their
    // face (its other controls have faces of their own), so they measure no
    // face they do not keep.
    Panel1->setFont(SongFont(19));
    RichEdit1 = MakeInFace<SourceView>(SongFont(19), Panel1);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setAccessibleName(QStringLiteral("原文"));
    RichEdit1->setGeometry(PlaceOf("RichEdit1"));
    RichEdit1->setFont(SongFont(19));
    RichEdit1->setMousePressHandler([this] { RichEdit1MouseDown(); });

    Memo1 = MakeInFace<AnswerEdit>(SongFont(19), Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("答案"));
    Memo1->setGeometry(PlaceOf("Memo1"));
    Memo1->setFont(SongFont(19));
    Memo1->setSourceLineLength([this](int line) { return RichEdit1->lineByteLength(line); });
    Memo1->setChangeHandler([this] { Memo1Change(); });
    Memo1->setMessageBoxes(setup_.boxes);

    Lab1 =
        MakeLabel<ClickLabel>(this, "Lab1", {816, 629, 65, 13}, QStringLiteral("选择输入法"), 13);
    // The foot of the window, left of Lab1: notices of the program's own.
    LabelNotice =
        MakeLabel<ElidingLabel>(this, "LabelNotice", {20, 629, 8, 15}, {}, 13, false, kRed);
    static_cast<ElidingLabel*>(LabelNotice)->setMaximumTextWidth(816 - 8 - 20);
    LabelNotice->setFocusPolicy(Qt::NoFocus);
    LabelNotice->hide();
    Fill(Lab1, Rgb(kYellowRgb));
    Lab1->setCursor(Qt::PointingHandCursor);
    Lab1->setClickHandler([this] { Lab1Click(); });

    // Tab order: the source view, then the answer box; nothing else takes the
    // focus. The source view has it when the window first becomes active.
    QWidget::setTabOrder(RichEdit1, Memo1);
    RichEdit1->setFocus();

    CreateShortcuts();
}

void ExamWindow::CreateShortcuts() {
    // Function keys and Alt+F4: no examinee types them into an answer. Each
    // does what a click on its control does; the tool tips name them.
    struct Binding {
        QWidget* control;
        QString tip;
        QKeySequence keys;
        void (ExamWindow::*handler)();
    };
    const Binding bindings[] = {
        {Pap1, QStringLiteral("暂停"), QKeySequence(Qt::Key_F5), &ExamWindow::Pap1Click},
        {Pap2, QStringLiteral("继续"), QKeySequence(Qt::Key_F6), &ExamWindow::Pap2Click},
        {Lab1, QStringLiteral("选择输入法"), QKeySequence(Qt::Key_F8), &ExamWindow::ShowImeMenu},
        {Image2, QStringLiteral("最小化"), QKeySequence(Qt::Key_F9), &ExamWindow::Image2Click},
        {Image1, QStringLiteral("结束考试"), QKeySequence(Qt::ALT | Qt::Key_F4),
         &ExamWindow::Image1Click},
    };
    for (const Binding& binding : bindings) {
        binding.control->setToolTip(
            QStringLiteral("%1（%2）")
                .arg(binding.tip, binding.keys.toString(QKeySequence::NativeText)));
        auto* shortcut = new QShortcut(binding.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this,
                [this, handler = binding.handler] { (this->*handler)(); });
    }
}

void ExamWindow::FormCreate() {
    // 1. The input-method menu: one item per input method of the desktop, in
    //    the list's order, tagged with its index.
    Guarded([this] {
        layouts_ = setup_.keyboardLayouts ? setup_.keyboardLayouts()
                                          : platform::DetectKeyboardLayoutService();
        if (!layouts_) {
            layouts_ = std::make_unique<platform::NoKeyboardLayouts>();
        }
        inputMethods_ = platform::BuildInputMethodList(*layouts_);
        for (int i = 0; i < inputMethods_.count(); ++i) {
            auto* item = new QAction(inputMethods_.at(i).text, this);
            item->setData(i);
            imeItems_.append(item);
            connect(item, &QAction::triggered, this,
                    [this, item] { Guarded([&] { ImeMenuItemClick(item); }); });
        }
    });
    // Without an input method the menu still answers, with one disabled entry.
    if (imeItems_.isEmpty()) {
        auto* none = new QAction(QStringLiteral("未找到输入法"), this);
        none->setEnabled(false);
        imeItems_.append(none);
    }

    // 2. The source text, handed over as the window was made: the view
    //    takes it in while the login window is on screen, reading the state's
    //    bytes (the one copy of them).
    if (state_.SourceText.empty()) {
        RichEdit1->setSourceText({});
    } else {
        RichEdit1->setSourceTextFrom(state_.SourceText);
    }

    // 3. The answer box refuses cut, copy and paste by itself (AnswerEdit).

    // 4. The clock: off, with its initial texts.
    Guarded([this] { exam::SetUpClock(state_, *this); });

    // 5. The source's count comes later (CountSource), before the window or
    //    anything else needs it: a long source keeps no login waiting.

    // 6. Rounded corners: Pap1 and Pap2 10 x 10, the window and Panel1 40 x 40.
    RoundControl(Pap1, 10, 10);
    RoundControl(Pap2, 10, 10);
    RoundControl(this, 40, 40);
    RoundControl(Panel1, 40, 40);
    ApplyRoundedRegion(LabelState, 10, 10);
}

void ExamWindow::CountSource() {
    if (counted_) {
        return;
    }
    counted_ = true;
    EnsureControls();
    // Count the source into the state and its three counters.
    Guarded([this] {
        const exam::SourceCounts counts = exam::CountSource(state_, std::move(state_.SourceText));
        SetCaption(Label4, Decimal(counts.ascii));
        SetCaption(Label6, Decimal(counts.hanzi));
        SetCaption(Label2, Decimal(counts.total));
    });
}

const exam::ExamState& ExamWindow::state() const {
    const_cast<ExamWindow*>(this)->CountSource();
    return state_;
}

void ExamWindow::ShowNotice(const QString& text) {
    EnsureControls();
    SetCaption(LabelNotice, text);
    LabelNotice->setToolTip(text);
    LabelNotice->setVisible(!text.isEmpty());
}

bool ExamWindow::LoadPicture(QLabel* target, const QString& path, const MessageBoxes& boxes) {
    return boxes.Guarded([&] {
        const QImage normal = platform::LoadJpeg(path);
        SetPicture(target, normal, {});
        // The picture at twice the size, for scaled screens, where there is one.
        const QString jpg = QStringLiteral(".jpg");
        if (path.endsWith(jpg)) {
            const QString doubled = path.chopped(jpg.size()) + QStringLiteral("@2x") + jpg;
            if (QFile::exists(doubled)) {
                SetPicture(target, normal, platform::LoadJpeg(doubled));
            }
        }
    });
}

// ---- What the engine asks of the window -------------------------------------

exam::ExamPhase ExamWindow::phase() const {
    if (!built_) {
        return exam::ExamPhase::Typing;
    }
    return exam::PhaseOf(state_, locale_);
}

void ExamWindow::ShowExamState() {
    QString word;
    const exam::ExamPhase now = phase();
    switch (now) {
    case exam::ExamPhase::Complete:
        word = QStringLiteral("已完成");
        break;
    case exam::ExamPhase::Paused:
        word = QStringLiteral("已暂停");
        break;
    case exam::ExamPhase::TimedOut:
        word = QStringLiteral("时间到");
        break;
    case exam::ExamPhase::Typing:
        break;
    }
    // The label keeps its place and size whatever it says: nothing moves.
    LabelState->setText(word);
    LabelState->setVisible(!word.isEmpty());
    if (!ended_ && (now == exam::ExamPhase::Complete || now == exam::ExamPhase::TimedOut)) {
        ended_ = true;
        emit ended();
    }
}

void ExamWindow::SetClockEnabled(bool on) {
    if (!on) {
        Timer1->stop();
        return;
    }
    // A running clock keeps its rhythm.
    if (!Timer1->isActive()) {
        pacer_.Start();
        Timer1->start(exam::kClockPeriodMs);
        if (!Timer1->isActive()) {
            throw exam::TimerError();
        }
    }
}

void ExamWindow::MarkSource(int offset, exam::Mark mark) {
    EnsureControls();
    RichEdit1->markSource(offset, mark);
    if (mark == exam::Mark::UnderlineOn) {
        underlined_ = offset;
    }
}

QLabel* ExamWindow::LabelOf(Field field) const {
    // Each field of the exam in the label that shows it.
    QLabel* const labels[] = {
        Label2,  // SourceTotal
        Label4,  // SourceAscii
        Label6,  // SourceHanzi
        Label8,  // CorrectAscii
        Label10, // CorrectHanzi
        Label12, // Score
        Label14, // RemainingTime
        Label21, // ElapsedTime
    };
    static_assert(std::size(labels) == exam::kFieldCount);
    return labels[static_cast<std::size_t>(field)];
}

void ExamWindow::SetFieldText(Field field, const std::string& text) {
    EnsureControls();
    // The counters are set on every change, mostly to what they already say.
    QLabel* target = LabelOf(field);
    LabelShown& shown = shown_[static_cast<std::size_t>(field)];
    if (text != shown.gbk || target->text() != shown.text) {
        shown.gbk = text;
        shown.text = platform::FromGbk(text);
        SetCaption(target, shown.text);
    }
    if (field == Field::RemainingTime) {
        ShowExamState();
    }
}

void ExamWindow::DisableAnswer() {
    EnsureControls();
    Memo1->setEnabled(false);
    ShowExamState();
}

std::int64_t ExamWindow::realKeyPresses() const {
    return Memo1 != nullptr ? Memo1->realKeyPresses() : 0;
}

bool ExamWindow::keyPressesCounted() const {
    // Keys that an input method takes are counted only where the window
    // system reports them first.
    return Memo1 != nullptr && Memo1->keysFromWindowSystem();
}

void ExamWindow::SetAnswerReadOnly(bool readOnly) {
    EnsureControls();
    Memo1->setReadOnly(readOnly);
    ShowExamState();
}

// ---- Handlers ----------------------------------------------------------------

void ExamWindow::Memo1Change() {
    CountSource();
    ++changeCount_;
    underlined_ = -1;
    // The underlined character is kept in sight, even when the change fails half-way.
    struct InSight {
        explicit InSight(ExamWindow& form) : form_(form) {}
        ~InSight() {
            if (form_.underlined_ >= 0) {
                form_.RichEdit1->keepInSight(form_.underlined_);
            }
        }
        InSight(const InSight&) = delete;
        InSight& operator=(const InSight&) = delete;
        ExamWindow& form_;
    } inSight(*this);
    // An error escapes to the answer box, which shows it and knows the change failed.
    const bool wasComplete = state_.AnswerDisabled;
    const std::string answer = Memo1->gbkText();
    recorder_.Change(answer);
    exam::CompareAnswer(state_, *this, answer);
    if (!wasComplete && state_.AnswerDisabled) {
        emit completed();
    }
}

void ExamWindow::RichEdit1MouseDown() {
    if (!exam::AllHanziTyped(state_)) {
        Memo1->moveCaretToEnd();
        Memo1->setFocus(Qt::MouseFocusReason);
    }
}

void ExamWindow::Timer1Timer() {
    // Every whole second really passed since the last counted one: a tick that
    // came late, or ticks lost while the program was busy, are made up here.
    CountSeconds(pacer_.Due());
}

void ExamWindow::CountDueSecondsAndStop() {
    if (Timer1 != nullptr && Timer1->isActive()) {
        // The timer goes first: it is not set again, and no tick of it follows.
        Timer1->stop();
        Guarded([&] { exam::ClockTick(state_, *this, locale_, pacer_.Due()); });
    }
}

void ExamWindow::CountSeconds(int seconds) {
    Guarded([&] { exam::ClockTick(state_, *this, locale_, seconds); });
    // After a late tick the next one comes when the running second is over,
    // so the labels change on the second again.
    if (Timer1->isActive()) {
        constexpr std::int64_t kDriftMs = 20;
        const std::int64_t lag = pacer_.Lag();
        const int next =
            lag > kDriftMs ? exam::kClockPeriodMs - static_cast<int>(lag) : exam::kClockPeriodMs;
        if (next != Timer1->interval()) {
            Timer1->start(next);
        }
    }
    emit ticked();
}

void ExamWindow::Pap1Click() {
    recorder_.Pause();
    Guarded([this] { exam::PauseExam(state_, *this); });
    emit paused();
}

void ExamWindow::Pap2Click() {
    recorder_.Continue();
    Guarded([this] { exam::ContinueExam(state_, *this, locale_); });
    emit continued();
}

void ExamWindow::Image1Click() {
    EnsureControls();
    // Once the exam is over, no time is left to speak of.
    const QString question = ended_ ? QStringLiteral("考试已结束，您确定要关闭考试窗口吗?")
                                    : QStringLiteral("您确定要结束考试吗?") + QChar('\r') +
                                          QStringLiteral("你还剩：") + Label14->text() +
                                          QStringLiteral("时间。");
    if (setup_.boxes.Show({BoxKind::Question, QStringLiteral("提示"), question}, this) ==
        BoxAnswer::Ok) {
        QCoreApplication::exit(0);
    }
}

void ExamWindow::Image2Click() {
    // Every window of the program goes to the task bar; the clock runs on.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->showMinimized();
        }
    }
}

QMenu* ExamWindow::ImeMenu() {
    EnsureControls();
    if (PopupMenu1 == nullptr) {
        PopupMenu1 = new QMenu(this);
        PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
        PopupMenu1->addActions(imeItems_);
    }
    return PopupMenu1;
}

void ExamWindow::Lab1Click() {
    // The menu's top-left corner at the pointer.
    ImeMenu()->popup(QCursor::pos());
}

void ExamWindow::ShowImeMenu() {
    // From the keyboard: the menu at 选择输入法, its first entry active.
    QMenu* menu = ImeMenu();
    menu->popup(Lab1->mapToGlobal(QPoint(0, 0)));
    if (!menu->actions().isEmpty()) {
        menu->setActiveAction(menu->actions().constFirst());
    }
}

void ExamWindow::ImeMenuItemClick(QAction* item) {
    // Only the input method changes: the focus stays where it was.
    inputMethods_.activate(item->data().toInt());
}

void ExamWindow::Panel4MouseDown(QMouseEvent* event) {
    StartWindowMove(Panel4, *event);
}

// ---- Coming on screen and going ----------------------------------------------

void ExamWindow::FitToScreen() {
    // The text areas keep four lines at least.
    constexpr int kLeastTextHeight = 100;
    const int sourceSpare = std::max(RichEdit1->height() - kLeastTextHeight, 0);
    const int answerSpare = std::max(Memo1->height() - kLeastTextHeight, 0);
    const WindowFit fit =
        FitWindow(QRect(pos(), size()), AvailableArea(this), sourceSpare + answerSpare);
    if (fit.lessHeight > 0) {
        // The source view gives up half, the answer box the rest; what lies
        // below them moves up.
        const int fromSource = std::min(fit.lessHeight / 2, sourceSpare);
        const int less = fit.lessHeight;
        RichEdit1->resize(RichEdit1->width(), RichEdit1->height() - fromSource);
        Memo1->setGeometry(Memo1->x(), Memo1->y() - fromSource, Memo1->width(),
                           Memo1->height() - (less - fromSource));
        Panel1->resize(Panel1->width(), Panel1->height() - less);
        Lab1->move(Lab1->x(), Lab1->y() - less);
        setFixedSize(width(), height() - less);
        RoundControl(this, 40, 40);
        RoundControl(Panel1, 40, 40);
    }
    move(fit.position);
}

void ExamWindow::SetExaminee(const Examinee& examinee) {
    EnsureControls(); // it may not have made them yet
    const auto put = [](QLabel* label, const QString& text, bool withToolTip) {
        label->setText(text);
        if (withToolTip) {
            // Where the window has no room for all of it, the tool tip has.
            label->setToolTip(text);
        }
        // The labels size themselves to their text.
        label->resize(label->sizeHint());
    };
    put(Label17, examinee.name, true);
    put(Label19, examinee.number, true);
    if (examinee.duration) {
        SetDuration(*examinee.duration);
    }
}

void ExamWindow::SetDuration(const QString& duration) {
    EnsureControls();
    exam::SetDuration(state_, *this, platform::ToGbk(duration), locale_);
}

void ExamWindow::MakeControlsAfterFirstPaintOf(QWidget* window) {
    RunAfterFirstPaint(window, [self = QPointer<ExamWindow>(this)] {
        if (self) {
            self->EnsureControls();
            QTimer::singleShot(0, self.data(), [form = self.data()] { form->CountSource(); });
        }
    });
}

ExamSnapshot ExamWindow::Snapshot() const {
    ExamSnapshot shot;
    shot.judgedAnswer = state_.AnswerText;
    shot.correctAsciiCount = state_.CorrectAsciiCount;
    shot.correctHanziCount = state_.CorrectHanziCount;
    shot.changes = changeCount_;
    if (!built_) {
        return shot;
    }
    shot.controlsMade = true;
    shot.name = Label17->text();
    shot.number = Label19->text();
    shot.remaining = Label14->text();
    shot.elapsed = Label21->text();
    shot.sourceTotal = Label2->text();
    shot.sourceAscii = Label4->text();
    shot.sourceHanzi = Label6->text();
    shot.correctAscii = Label8->text();
    shot.correctHanzi = Label10->text();
    shot.score = Label12->text();
    shot.phase = phase();
    shot.phaseWords = LabelState->text();
    shot.answer = Memo1->toPlainText();
    shot.answerEnabled = Memo1->isEnabled();
    shot.answerReadOnly = Memo1->isReadOnly();
    return shot;
}

void ExamWindow::setVisible(bool visible) {
    const bool first = visible && !shownOnce_ && !isVisible();
    if (first) {
        shownOnce_ = true;
    }
    if (visible) {
        EnsureControls();
        CountSource();
        FitLabels(this);
        if (!fitted_) {
            fitted_ = true;
            FitToScreen();
        }
    }
    QWidget::setVisible(visible);
    if (first) {
        raise();
        activateWindow();
    }
}

void ExamWindow::closeEvent(QCloseEvent* event) {
    // A window manager that keeps Alt+F4 for itself turns it into its close
    // command, which arrives while Alt is still held: that is the examinee's
    // Alt+F4, and it asks the close question as the shortcut does.
    if (event->spontaneous() &&
        QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier)) {
        event->ignore();
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (QApplication::activeModalWidget() == nullptr) {
                    Image1Click();
                }
            },
            Qt::QueuedConnection);
        return;
    }
    QWidget::closeEvent(event);
    // Every running loop ends, a message box's too, and the program with them.
    QCoreApplication::exit(0);
}

void ExamWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        locale_ = platform::SystemTimeLocale();
    }
    QWidget::changeEvent(event);
}

} // namespace qarvel::ui
