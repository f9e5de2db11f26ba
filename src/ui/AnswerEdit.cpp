#include "AnswerEdit.h"

#include "LineLayout.h"
#include "MessageBoxes.h"
#include "exam/InputRules.h"
#include "platform/GbkText.h"
#include "platform/RealKeyPresses.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <algorithm>
#include <map>
#include <utility>

namespace qarvel::ui {
namespace {

// The answer box's keys in the engine's words.
exam::Key KeyOf(int key) {
    using exam::Key;
    switch (key) {
    case Qt::Key_Backspace:
        return Key::Backspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return Key::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::Enter;
    case Qt::Key_PageUp:
        return Key::PageUp;
    case Qt::Key_PageDown:
        return Key::PageDown;
    case Qt::Key_End:
        return Key::End;
    case Qt::Key_Home:
        return Key::Home;
    case Qt::Key_Left:
        return Key::Left;
    case Qt::Key_Up:
        return Key::Up;
    case Qt::Key_Right:
        return Key::Right;
    case Qt::Key_Down:
        return Key::Down;
    case Qt::Key_Delete:
        return Key::Delete;
    default:
        return Key::Other;
    }
}

// QKeyEvent::matches, with the platform's bindings looked up once per key and
// modifiers (the look-up builds the binding lists afresh each time).
bool Matches(const QKeyEvent* e, QKeySequence::StandardKey standard) {
    static std::map<std::pair<int, int>, bool> known;
    const auto [at, added] =
        known.try_emplace({static_cast<int>(standard), e->keyCombination().toCombined()}, false);
    if (added) {
        at->second = e->matches(standard);
    }
    return at->second;
}

// The clipboard request a key would make of the box.
exam::ClipboardRequest ClipboardRequestOf(const QKeyEvent* e) {
    using exam::ClipboardRequest;
    if (Matches(e, QKeySequence::Cut)) {
        return ClipboardRequest::Cut;
    }
    if (Matches(e, QKeySequence::Copy)) {
        return ClipboardRequest::Copy;
    }
    if (Matches(e, QKeySequence::Paste)) {
        return ClipboardRequest::Paste;
    }
    return ClipboardRequest::None;
}

// One entry per code point (a surrogate pair stays together).
QStringList CodePoints(const QString& text) {
    QStringList parts;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        parts << text.mid(i, n);
        i += n;
    }
    return parts;
}

// A real key press went to native window `window`: it reached the answer box when
// that box has the focus in that window.
void RouteRealKeyPress(std::uintptr_t window) {
    auto* edit = qobject_cast<AnswerEdit*>(QApplication::focusWidget());
    if (edit != nullptr && edit->window()->internalWinId() == window) {
        edit->noteRealKeyPress();
    }
}

} // namespace

bool AnswerEdit::WatchRealKeyPresses() {
    return platform::WatchRealKeyPresses(RouteRealKeyPress);
}

AnswerEdit::AnswerEdit(QWidget* parent)
    : QPlainTextEdit(parent), keysFromWindowSystem_(WatchRealKeyPresses()) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab and Shift+Tab move the focus; only Ctrl+Tab reaches the key rules.
    setTabChangesFocus(true);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    connect(this, &QPlainTextEdit::textChanged, this, &AnswerEdit::onTextChanged);
    // Whatever selects (the context menu's Select All, a program), nothing stays selected.
    connect(this, &QPlainTextEdit::selectionChanged, this, [this] {
        if (!quiet_ && textCursor().hasSelection()) {
            keepCaretAtEnd();
        }
    });
}

std::string AnswerEdit::gbkText() const {
    if (shortenedGbk_) {
        return *shortenedGbk_;
    }
    return reporting_ ? lastGbk_ : platform::ToGbk(toPlainText());
}

void AnswerEdit::setSourceLineLength(std::function<int(int)> fn) {
    sourceLineLength_ = std::move(fn);
}

void AnswerEdit::setChangeHandler(std::function<void()> handler) {
    changeHandler_ = std::move(handler);
    lastText_ = toPlainText();
    lastGbk_ = platform::ToGbk(lastText_);
}

void AnswerEdit::moveCaretToEnd() {
    QTextCursor c = textCursor();
    if (c.hasSelection() || !c.atEnd()) {
        c.movePosition(QTextCursor::End);
        setTextCursor(c);
    }
    ensureCursorVisible();
    if (!hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
}

namespace {
// Milliseconds on a monotonic clock, for the times of key presses and commits.
std::int64_t NowMs() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}
} // namespace

void AnswerEdit::noteRealKeyPress() {
    if (takesInput()) {
        ++keyPresses_;
        commitKeys_.KeyPressed(NowMs());
    }
}

void AnswerEdit::setKeysFromWindowSystem(bool on) {
    keysFromWindowSystem_ = on;
    commitKeys_.Forget();
}

bool AnswerEdit::commitPaid() {
    return !keysFromWindowSystem_ || commitKeys_.PayCommit(showsPreedit(), NowMs());
}

QVariant AnswerEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) {
        return takesInput();
    }
    return QPlainTextEdit::inputMethodQuery(query);
}

void AnswerEdit::changeEvent(QEvent* e) {
    QPlainTextEdit::changeEvent(e);
    if (e->type() == QEvent::ReadOnlyChange || e->type() == QEvent::EnabledChange) {
        inputChanged();
    }
}

void AnswerEdit::inputChanged() {
    const bool takes = takesInput();
    if (takes == tookInput_) {
        return;
    }
    tookInput_ = takes;
    // Keys typed while the box took no input entitle no commit.
    commitKeys_.Forget();
    if (!takes) {
        dropPreedit();
    }
    if (hasFocus()) {
        QInputMethod* im = QGuiApplication::inputMethod();
        if (!takes) {
            im->reset(); // the open composition goes, uncommitted
        }
        im->update(Qt::ImEnabled);
    }
}

void AnswerEdit::keepCaretAtEnd() {
    QTextCursor c = textCursor();
    if (c.hasSelection() || !c.atEnd()) {
        c.movePosition(QTextCursor::End);
        setTextCursor(c);
    }
}

void AnswerEdit::onTextChanged() {
    if (!quiet_) {
        reportChange();
    }
}

bool AnswerEdit::reportChange() {
    QString text = toPlainText();
    if (text == lastText_) {
        return true; // pre-edit text, formats: the answer is the same
    }
    // Where the texts part; only what changed after it is converted.
    const auto parted =
        std::mismatch(text.cbegin(), text.cend(), lastText_.cbegin(), lastText_.cend());
    const qsizetype differ = parted.first - text.cbegin();
    qsizetype common = differ;
    while (common > 0 && (text[common - 1].isHighSurrogate() || text[common - 1] == u'\r')) {
        --common; // a pair, or a CR that might join the line break after it
    }
    lastGbk_.resize(lastGbk_.size() - platform::ToGbk(lastText_.mid(common)).size());
    if (differ < text.size() && differ < lastText_.size()) {
        // Both removed and added at the end (an undone edit, say): the removal is
        // a change of its own, so every change only adds or only removes.
        const qsizetype kept =
            differ > 0 && text[differ - 1].isHighSurrogate() ? differ - 1 : differ;
        shortenedGbk_ = lastGbk_ + platform::ToGbk(text.mid(common, kept - common));
        const bool ok = runHandler();
        shortenedGbk_.reset();
        if (!ok || !isEnabled()) {
            lastGbk_ += platform::ToGbk(text.mid(common));
            lastText_ = std::move(text);
            return ok;
        }
    }
    lastGbk_ += platform::ToGbk(text.mid(common));
    lastText_ = std::move(text);
    const bool outer = reporting_;
    reporting_ = true;
    const bool ok = runHandler();
    reporting_ = outer;
    return ok;
}

bool AnswerEdit::runHandler() {
    if (!changeHandler_) {
        return true;
    }
    const auto handler = changeHandler_; // the handler may replace itself
    return boxes_.Guarded(handler);
}

void AnswerEdit::appendLineBreak() {
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::End);
    setTextCursor(c);
    c.insertBlock();
    setTextCursor(c);
    ensureCursorVisible();
}

bool AnswerEdit::removeLastByte() {
    const QString text = toPlainText();
    const std::string gbk = platform::ToGbk(text);
    if (gbk.empty()) {
        return true;
    }
    const std::string shorter = exam::ApplyKeyDownRule(exam::KeyDownAction::RemoveLastByte, gbk);
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);

    const QString last = CodePoints(text.right(2)).back();
    if (platform::ToGbk(text.chopped(last.size())) == shorter) {
        // A one-byte character: the document loses it, and that is the change.
        quiet_ = true;
        QTextCursor c = end;
        c.setPosition(end.position() - static_cast<int>(last.size()), QTextCursor::KeepAnchor);
        c.removeSelectedText();
        quiet_ = false;
        return reportChange();
    }
    // A line break (CR LF) or a double-byte character: no document holds its first
    // byte alone. The handler sees the shortened bytes while the document keeps the
    // character; the box's own Backspace then removes it whole, which leaves the
    // text that removing its second byte would leave.
    shortenedGbk_ = shorter;
    const bool ok = runHandler();
    shortenedGbk_.reset();
    return ok;
}

bool AnswerEdit::refusesTypedCharacter(const QKeyEvent* e) const {
    if (e->text() != QStringLiteral(" ")) {
        return false;
    }
    const int line = lines().lineOf(textCursor().selectionEnd()).line;
    const int source = sourceLineLength_ ? sourceLineLength_(line) : 0;
    return exam::RefusesCharacter(U' ', lines().byteLength(line), source);
}

VisualLineIndex& AnswerEdit::lines() const {
    return LinesOfEdit(*this, lines_, linesOf_);
}

void AnswerEdit::keyPressEvent(QKeyEvent* e) {
    if (!keysFromWindowSystem_ && e->spontaneous()) {
        noteRealKeyPress();
    } else if (keysFromWindowSystem_) {
        commitKeys_.KeyReachedBox(); // no input method took it
    }
    keepCaretAtEnd();
    if (e->key() == Qt::Key_PageUp) {
        // The examinee may look back a page; the caret stays at the end, and the
        // next change brings it back into sight.
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        e->accept();
        return;
    }
    if (Matches(e, QKeySequence::SelectAll)) {
        e->accept(); // nothing is ever selected
        return;
    }
    const exam::Key key = KeyOf(e->key());
    LinePosition caret;
    if (key == exam::Key::Backspace) {
        caret = lines().lineOf(textCursor().selectionEnd());
    }
    switch (exam::KeyDownRule(key, caret.line, caret.column, isReadOnly())) {
    case exam::KeyDownAction::Swallow:
        e->accept();
        return;
    case exam::KeyDownAction::AppendLineBreak:
        appendLineBreak();
        e->accept();
        return;
    case exam::KeyDownAction::RemoveLastByte:
        // A failed change ends the key here; so does a box the change disabled.
        if (!removeLastByte() || !isEnabled() || isReadOnly()) {
            e->accept();
            return;
        }
        break;
    case exam::KeyDownAction::Pass:
        break;
    }
    if (exam::RefusesClipboardRequest(ClipboardRequestOf(e)) || refusesTypedCharacter(e)) {
        e->accept();
        return;
    }
    if (isReadOnly()) {
        e->accept(); // no key changes a read-only answer (undo included)
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
    keepCaretAtEnd();
}

bool AnswerEdit::showsPreedit() const {
    const QTextLayout* layout = textCursor().block().layout();
    return layout != nullptr && !layout->preeditAreaText().isEmpty();
}

void AnswerEdit::dropPreedit() {
    if (!showsPreedit()) {
        return;
    }
    clearSelection(); // an input-method event replaces the selection
    QInputMethodEvent none;
    QPlainTextEdit::inputMethodEvent(&none);
}

void AnswerEdit::inputMethodEvent(QInputMethodEvent* e) {
    e->accept();
    if (isReadOnly() || !isEnabled()) {
        dropPreedit();
        return;
    }
    keepCaretAtEnd();
    imEvent(*e);
    keepCaretAtEnd();
}

void AnswerEdit::imEvent(const QInputMethodEvent& e) {
    // The input method never places the caret or selects: its selection
    // attributes are dropped.
    QList<QInputMethodEvent::Attribute> attributes;
    for (const QInputMethodEvent::Attribute& a : e.attributes()) {
        if (a.type != QInputMethodEvent::Selection) {
            attributes << a;
        }
    }
    const QString& preeditText = e.preeditString();
    const auto takePreedit = [&] {
        if (!preeditText.isEmpty() || showsPreedit()) {
            QInputMethodEvent preedit(preeditText, attributes);
            QPlainTextEdit::inputMethodEvent(&preedit);
        }
    };
    // The caret stands at the end: text around it may be deleted or replaced
    // only up to the end, never before it.
    const int from = e.replacementStart();
    const int length = e.replacementLength();
    if ((from != 0 || length != 0) &&
        (from > 0 || length < 0 || from + length != 0 || -from > textCursor().position())) {
        takePreedit();
        return;
    }
    const QStringList parts = CodePoints(e.commitString());
    if ((!parts.isEmpty() && !commitPaid()) || (parts.size() >= 2 && !showsPreedit())) {
        takePreedit(); // not composed here: only the event's pre-edit is taken
        return;
    }
    if (length > 0) {
        // The end of the answer goes first, as a change of its own.
        QInputMethodEvent removal(parts.isEmpty() ? preeditText : QString(),
                                  parts.isEmpty() ? attributes
                                                  : QList<QInputMethodEvent::Attribute>());
        removal.setCommitString(QString(), from, length);
        QPlainTextEdit::inputMethodEvent(&removal);
        if (parts.isEmpty() || !isEnabled() || isReadOnly()) {
            return;
        }
    }
    if (parts.size() < 2) {
        QInputMethodEvent one(preeditText, attributes);
        one.setCommitString(e.commitString());
        QPlainTextEdit::inputMethodEvent(&one);
        return;
    }
    // One commit per character, as if typed one after another; the last one
    // brings the new pre-edit text.
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (i > 0 && (!isEnabled() || isReadOnly())) {
            break; // the exam ended on an earlier character
        }
        QInputMethodEvent part(last ? preeditText : QString(),
                               last ? attributes : QList<QInputMethodEvent::Attribute>());
        part.setCommitString(parts[i]);
        QPlainTextEdit::inputMethodEvent(&part);
    }
}

void AnswerEdit::clearSelection() {
    QTextCursor c = textCursor();
    if (c.hasSelection()) {
        c.clearSelection();
        setTextCursor(c);
    }
}

void AnswerEdit::mousePressEvent(QMouseEvent* e) {
    clearSelection(); // nothing to drag out of the box
    QPlainTextEdit::mousePressEvent(e);
    moveCaretToEnd();
    e->accept();
}

void AnswerEdit::mouseReleaseEvent(QMouseEvent* e) {
    clearSelection(); // nothing for the selection clipboard
    QPlainTextEdit::mouseReleaseEvent(e);
    moveCaretToEnd();
    e->accept();
}

void AnswerEdit::mouseDoubleClickEvent(QMouseEvent* e) {
    // A double click is a press like any other: no word gets selected.
    moveCaretToEnd();
    e->accept();
}

void AnswerEdit::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() != Qt::NoButton) {
        e->accept(); // no selection by dragging: the release sends the caret to the end
        return;
    }
    QPlainTextEdit::mouseMoveEvent(e);
}

void AnswerEdit::contextMenuEvent(QContextMenuEvent* e) {
    QMenu* menu = createStandardContextMenu(e->pos());
    if (menu == nullptr) {
        return;
    }
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        // Cut, copy and paste would move text in or out; Delete and Select All
        // would change or mark the answer elsewhere than at its end.
        if (name == QLatin1String("edit-cut") || name == QLatin1String("edit-copy") ||
            name == QLatin1String("edit-paste") || name == QLatin1String("link-copy") ||
            name == QLatin1String("edit-delete") || name == QLatin1String("select-all")) {
            menu->removeAction(action);
            action->deleteLater();
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
    e->accept();
}

void AnswerEdit::dragEnterEvent(QDragEnterEvent* e) {
    e->ignore();
}

void AnswerEdit::dragMoveEvent(QDragMoveEvent* e) {
    e->ignore();
}

void AnswerEdit::dropEvent(QDropEvent* e) {
    e->ignore();
}

QMimeData* AnswerEdit::createMimeDataFromSelection() const {
    return new QMimeData; // the answer's text never leaves the box
}

bool AnswerEdit::canInsertFromMimeData(const QMimeData* /*source*/) const {
    return false;
}

void AnswerEdit::insertFromMimeData(const QMimeData* /*source*/) {}

} // namespace qarvel::ui
