#include "LoginWindow.h"

#include "Fonts.h"
#include "HiDpi.h"
#include "MessageBoxes.h"
#include "Palette.h"
#include "Pictures.h"
#include "Rounding.h"
#include "ScreenFit.h"
#include "TitleStrip.h"
#include "exam/TimeText.h"
#include "identity/Identity.h"
#include "platform/GbkText.h"
#include "platform/LocaleWords.h"

#include <QCoreApplication>
#include <QFrame>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <exception>
#include <type_traits>

namespace qarvel::ui {
namespace {

QColor Highlight() {
    return QColor::fromRgb(static_cast<QRgb>(kHighlightRgb));
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

// A label sizes itself to its text: it never clips it, whatever face stands in
// for the designed one.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetTextColour(label, Qt::black);
    KeepBoldAtEveryScale(label);
    label->setGeometry(rect);
    const QSize fit = label->sizeHint();
    label->resize(std::max(rect.width(), fit.width()), std::max(rect.height(), fit.height()));
    return label;
}

// A field for digits: it takes no input method, so keys reach it raw whatever
// the input method's state (pinyin left on from the name would turn ":" into
// "："). Qt's line edit answers the input method's "enabled" question from its
// own state alone, whatever WA_InputMethodEnabled says: the answer is given here.
class PlainKeysEdit final : public QLineEdit {
public:
    using QLineEdit::inputMethodQuery;
    using QLineEdit::QLineEdit;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
        if (query == Qt::ImEnabled) {
            return false;
        }
        return QLineEdit::inputMethodQuery(query);
    }
};

// Every login field takes at most this many characters.
constexpr int kFieldMaxLength = 32;

template <class Edit = QLineEdit>
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, const QFont& font,
                    const QRect& rect) {
    auto* edit = MakeInFace<Edit>(font, text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setFont(font);
    edit->setGeometry(rect);
    edit->setMaxLength(kFieldMaxLength);
    if constexpr (!std::is_same_v<Edit, QLineEdit>) {
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    return edit;
}

// A full-width digit or colon (what an input method in full-width mode types)
// as its ASCII form; any other character as it is.
QChar HalfWidth(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'\uFF10' && u <= u'\uFF1A') { // ０ to ９, then ：
        return QChar(static_cast<char16_t>(u - 0xFF10 + u'0'));
    }
    return c;
}

// A push button that shows the keyboard focus by a dotted frame inside its
// edge, drawn here so it looks the same under every style.
class FocusFrameButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        if (!hasFocus()) {
            return;
        }
        QPainter painter(this);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QFont& font,
                        const QRect& rect) {
    auto* button = new FocusFrameButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(font);
    button->setGeometry(rect);
    // Enter in an edit field never presses a button; a button with the focus
    // takes Enter itself (see eventFilter).
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The program icon; a drawn stand-in when the picture is missing.
QPixmap IconPicture(QSize size) {
    const QImage& icon = ProgramIcon();
    if (!icon.isNull()) {
        return QPixmap::fromImage(icon).scaled(size, Qt::IgnoreAspectRatio,
                                               Qt::SmoothTransformation);
    }
    QPixmap drawn(size);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 6, 6);
    QFont font;
    font.setPixelSize(size.height() * 2 / 3);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Highlight());
    painter.drawText(drawn.rect(), Qt::AlignCenter, QStringLiteral("Q"));
    return drawn;
}

// Leading and trailing characters 0 to 32 (blanks and control characters) removed.
QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text[end - 1].unicode() <= 32) {
        --end;
    }
    return text.mid(begin, end - begin);
}

// The characters a key press types, as the window system would deliver them to
// a key-press handler: Backspace (8; 127 with Ctrl), Enter (13), Escape (27),
// Ctrl with a letter (1 to 26: Ctrl+V is 22) and the printable text of the key.
// Empty for keys that type nothing (arrows, Delete, Insert, function keys).
QString TypedText(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier);
    switch (key.key()) {
    case Qt::Key_Backspace:
        return QString(QChar(ctrl ? 127 : 8));
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QString(QChar(13));
    case Qt::Key_Escape:
        return QString(QChar(27));
    default:
        break;
    }
    if (ctrl && key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z) {
        return QString(QChar(key.key() - Qt::Key_A + 1));
    }
    QString typed;
    for (const QChar c : key.text()) {
        if (c.unicode() >= 32 && c.unicode() != 127) {
            typed += c;
        }
    }
    return typed;
}

} // namespace

LoginWindow::LoginWindow(MessageBoxes boxes, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), boxes_(std::move(boxes)),
      locale_(platform::SystemTimeLocale()) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("考生进入"));
    QFont defaultFont = font();
    defaultFont.setPixelSize(11);
    Fill(this, Highlight());
    setFixedSize(558, 320);
    PrepareRoundedWindow(this);
    move(357, 121);
    // A line edit lays out its text as it is made, in the face it inherits:
    // the controls are made while the window has the edits' face, so no face
    // is loaded that nothing shows. The window's designed default face, which
    // every control overrides with its own, comes after them.
    setFont(SongFont(19));
    CreateControls();
    setFont(defaultFont);
}

void LoginWindow::CreateControls() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setGeometry(0, 0, 561, 41);
    Fill(Panel1, Highlight());

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(16, 3, 33, 33);
    const QImage& doubled = ProgramIcon2x();
    SetPicture(Image1, IconPicture(Image1->size()).toImage(),
               doubled.isNull() ? QImage()
                                : doubled.scaled(Image1->size() * 2, Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation));
    Image1->setAccessibleName(QStringLiteral("图标"));

    Label6 =
        MakeLabel(Panel1, "Label6", QStringLiteral("Qarvel登录"), SongFont(16), {53, 11, 96, 16});
    Label1 = MakeLabel(this, "Label1", QStringLiteral("考生登录"), SongFont(27, true),
                       {216, 56, 112, 27});
    Label2 = MakeLabel(this, "Label2", QStringLiteral("考生姓名:"), SongFont(19, true),
                       {120, 108, 91, 19});
    Edit1 = MakeEdit(this, "Edit1", QString(), SongFont(19), {224, 104, 129, 27});
    Label3 = MakeLabel(this, "Label3", QStringLiteral("学   号:"), SongFont(19, true),
                       {130, 157, 84, 19});
    Edit2 = MakeEdit<PlainKeysEdit>(this, "Edit2", QString(), SongFont(19), {224, 152, 129, 27});
    Label4 = MakeLabel(this, "Label4", QStringLiteral("考试时间:"), SongFont(19, true),
                       {121, 202, 91, 19});
    Edit3 = MakeEdit<PlainKeysEdit>(this, "Edit3", QStringLiteral("00:30:00"), SongFont(19, true),
                                    {224, 200, 129, 27});
    Label5 = MakeLabel(this, "Label5", QStringLiteral("时间格式（时：分：秒）"), SongFont(13),
                       {360, 208, 143, 13});
    Button1 =
        MakeButton(this, "Button1", QStringLiteral("开始考试"), SongFont(19), {152, 256, 89, 25});
    SetTextColour(Button1, Qt::black);
    Button2 = MakeButton(this, "Button2", QStringLiteral("退出"), SongFont(19), {304, 256, 75, 25});

    // The fields' captions are labels beside them: screen readers say these names.
    Edit1->setAccessibleName(QStringLiteral("考生姓名"));
    Edit2->setAccessibleName(QStringLiteral("学号"));
    Edit3->setAccessibleName(QStringLiteral("考试时间"));

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Edit3);
    setTabOrder(Edit3, Button2);

    for (QWidget* control :
         {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3),
          static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button2)}) {
        control->installEventFilter(this);
    }
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    MakeTitleStrip(Panel1, [this](QMouseEvent* event) { Panel1MouseDown(event); });
}

void LoginWindow::setVisible(bool visible) {
    if (visible && !isVisible()) {
        // Off a small screen's available area, the window comes in its middle.
        move(FitWindow(QRect(pos(), size()), AvailableArea(this), 0).position);
    }
    QDialog::setVisible(visible);
}

void LoginWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void LoginWindow::ReleaseWindowResources() {
    if (!isVisible() && windowHandle() != nullptr) {
        destroy();
    }
}

void LoginWindow::FormShow() {
    RoundControl(this, 50, 50);
    RoundControl(Button1, 10, 10);
    RoundControl(Button2, 10, 10);
    Edit1->setFocus(Qt::ActiveWindowFocusReason);
}

void LoginWindow::keyPressEvent(QKeyEvent* event) {
    // The window has no cancel button: Escape does not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        Edit1KeyDown(key);
        return key == 0;
    }
    if (watched == Edit2) {
        return FilterTyping(Edit2, &LoginWindow::Edit2KeyPress, event);
    }
    if (watched == Edit3) {
        return FilterTyping(Edit3, &LoginWindow::Edit3KeyPress, event);
    }
    if ((watched == Button1 || watched == Button2) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool LoginWindow::FilterTyping(QLineEdit* edit, void (LoginWindow::*keyPress)(QChar&),
                               QEvent* event) {
    QString typed;
    // Ctrl+A selects the whole field, as in every field: typing then replaces it.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) {
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        typed = TypedText(*static_cast<QKeyEvent*>(event));
        if (typed.isEmpty()) {
            return false; // a key that types nothing acts as usual
        }
    } else if (event->type() == QEvent::InputMethod) {
        auto* input = static_cast<QInputMethodEvent*>(event);
        if (input->preeditString().isEmpty() && input->commitString().isEmpty()) {
            return false;
        }
        typed = input->commitString();
    } else {
        return false;
    }
    QString kept;
    for (QChar c : typed) {
        c = HalfWidth(c);
        (this->*keyPress)(c);
        if (!c.isNull()) {
            kept += c;
        }
    }
    if (event->type() == QEvent::KeyPress && kept == typed) {
        return false;
    }
    // Some or all of it was refused (or it came from an input method): only
    // what is left reaches the field.
    if (!kept.isEmpty()) {
        edit->insert(kept);
    }
    event->accept();
    return true;
}

void LoginWindow::Edit1KeyDown(int& key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Edit2->setFocus(Qt::TabFocusReason);
    }
}

void LoginWindow::Edit2KeyPress(QChar& key) {
    const char16_t c = key.unicode();
    if (c != 8 && (c < u'0' || c > u'9')) {
        key = QChar();
    }
}

void LoginWindow::Edit3KeyPress(QChar& key) {
    const char16_t c = key.unicode();
    // The locale's own time separator (one character) is taken as well as ":".
    const std::string& own = locale_.timeSeparator;
    const bool separator = own.size() == 1 && c == static_cast<unsigned char>(own[0]);
    if (c != 8 && (c < 48 || c > 58) && !separator) {
        key = QChar();
    }
}

void LoginWindow::Button1Click() {
    // Name and number as a person reads them: what looks alike is alike
    // (full-width digits, invisible characters), as the results compare them.
    const QString name = identity::NormalizedIdentity(Edit1->text());
    if (name.isEmpty()) {
        boxes_.ShowPlain(QStringLiteral("考生姓名不能为空。"));
        return;
    }
    Examinee examinee{name, identity::NormalizedIdentity(Edit2->text()), std::nullopt};
    if (numberRequired_ && examinee.number.isEmpty()) {
        boxes_.ShowPlain(QStringLiteral("学号不能为空。"));
        return;
    }
    const QString duration = Edit3->text();
    bool isTime = true;
    try {
        exam::ParseTimeText(platform::ToGbk(duration), locale_);
    } catch (const std::exception&) {
        isTime = false;
    }
    // Past the check, an error is the program's own and goes to the error box.
    if (isTime) {
        examinee.duration = TrimControls(duration);
    }
    emit startRequested(examinee);
    if (!isTime) {
        boxes_.ShowPlain(QStringLiteral("不是时间格式"));
    }
}

void LoginWindow::SetFixedDuration(const QString& duration) {
    if (duration.isEmpty()) {
        Edit3->setReadOnly(false);
        Edit3->setToolTip({});
        return;
    }
    Edit3->setText(duration);
    // Read-only, in the look it was designed with: no greyed text or face.
    Edit3->setReadOnly(true);
    Edit3->setToolTip(QStringLiteral("考试时间由管理员设定"));
}

void LoginWindow::AcceptStart() {
    accept(); // hides the window and ends its modal loop
    emit examStarted();
}

void LoginWindow::Button2Click() {
    done(kExitChosen);
    // Ends every event loop that runs now; the queued quit ends the main loop
    // as well when it has not started yet.
    QCoreApplication::exit(0);
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}

void LoginWindow::Panel1MouseDown(QMouseEvent* event) {
    StartWindowMove(Panel1, *event);
}

} // namespace qarvel::ui
