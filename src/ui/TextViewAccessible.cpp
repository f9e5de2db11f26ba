#include "TextViewAccessible.h"

#include "AnswerEdit.h"
#include "SourceView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTextCursor>
#include <algorithm>
#include <functional>
#include <utility>

namespace qarvel::ui {
namespace {

// What a reader of one text view sees of it.
struct TextReader {
    std::function<QString()> text;
    // A part [from, to) of the text and its length, when the view gives them
    // without the whole text.
    std::function<QString(int, int)> range;
    std::function<int()> count;
    std::function<int()> caret;
    std::function<bool()> readOnly;
    // The character attributes at a position of the text ("name:value;" pairs).
    std::function<QString(int)> attributes;
    // The rectangle of the character at a position, in the viewport's coordinates,
    // and the position at a point of the viewport.
    std::function<QRect(int)> characterRect;
    std::function<int(QPoint)> positionAt;
    QWidget* viewport = nullptr;
};

template <class Edit> TextReader GeometryOf(Edit* edit) {
    TextReader reader;
    reader.caret = [edit] { return edit->textCursor().position(); };
    reader.characterRect = [edit](int position) {
        QTextCursor cursor(edit->document());
        cursor.setPosition(std::clamp(position, 0, edit->document()->characterCount() - 1));
        QRect rect = edit->cursorRect(cursor);
        const QChar ch = edit->document()->characterAt(position);
        rect.setWidth(std::max(1, edit->fontMetrics().horizontalAdvance(ch)));
        return rect;
    };
    reader.positionAt = [edit](QPoint point) { return edit->cursorForPosition(point).position(); };
    reader.viewport = edit->viewport();
    return reader;
}

QString Rgb(const QColor& c) {
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

class TextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    TextViewAccessible(QWidget* widget, TextReader reader)
        : QAccessibleWidget(widget, QAccessible::EditableText), reader_(std::move(reader)) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        if (type == QAccessible::EditableTextInterface) {
            return nullptr;
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? reader_.text() : QAccessibleWidget::text(t);
    }
    // Also where the bus's edit requests end up when there is no editable text.
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = reader_.readOnly();
        s.editable = !s.readOnly;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    // Selection and caret: read only.
    void selection(int /*index*/, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int /*startOffset*/, int /*endOffset*/) override {}
    void removeSelection(int /*index*/) override {}
    void setSelection(int /*index*/, int /*startOffset*/, int /*endOffset*/) override {}
    int cursorPosition() const override { return reader_.caret(); }
    void setCursorPosition(int /*position*/) override {}

    QString text(int startOffset, int endOffset) const override {
        if (reader_.range) {
            const int size = reader_.count();
            const int from = std::clamp(startOffset, 0, size);
            const int to = endOffset < 0 ? size : std::clamp(endOffset, from, size);
            return reader_.range(from, to);
        }
        const QString all = reader_.text();
        const auto size = static_cast<int>(all.size());
        const int from = std::clamp(startOffset, 0, size);
        const int to = endOffset < 0 ? size : std::clamp(endOffset, from, size);
        return all.mid(from, to - from);
    }
    int characterCount() const override {
        return reader_.count ? reader_.count() : static_cast<int>(reader_.text().size());
    }

    QRect characterRect(int offset) const override {
        const QRect rect = reader_.characterRect(offset);
        return QRect(reader_.viewport->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return reader_.positionAt(reader_.viewport->mapFromGlobal(point));
    }
    void scrollToSubstring(int /*startIndex*/, int /*endIndex*/) override {}

    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        const int count = characterCount();
        if (offset < 0 || offset >= count) {
            *startOffset = *endOffset = -1;
            return {};
        }
        *startOffset = offset;
        *endOffset = offset + 1;
        return reader_.attributes ? reader_.attributes(offset) : QString();
    }

private:
    TextReader reader_;
};

QAccessibleInterface* TextViewFactory(const QString& /*key*/, QObject* object) {
    if (auto* answer = qobject_cast<AnswerEdit*>(object)) {
        TextReader reader = GeometryOf(answer);
        reader.text = [answer] { return answer->toPlainText(); };
        reader.readOnly = [answer] { return answer->isReadOnly() || !answer->isEnabled(); };
        return new TextViewAccessible(answer, std::move(reader));
    }
    if (auto* source = qobject_cast<SourceView*>(object)) {
        TextReader reader;
        reader.caret = [source] { return source->cursorPosition(); };
        reader.characterRect = [source](int position) {
            QRect rect = source->cursorRect(position);
            rect.setWidth(std::max(
                1, source->fontMetrics().horizontalAdvance(source->characterAt(position))));
            return rect;
        };
        reader.positionAt = [source](QPoint point) { return source->positionAtPoint(point); };
        reader.viewport = source->viewport();
        reader.text = [source] { return source->shownText(); };
        reader.range = [source](int from, int to) { return source->shownText(from, to); };
        reader.count = [source] { return source->characterCount(); };
        reader.readOnly = [] { return true; };
        reader.attributes = [source](int position) {
            const SourceView::Look look = source->lookAt(position);
            // IAccessible2 names, which the bridges translate ("fg-color", "underline").
            return QStringLiteral("color:rgb(%1);text-underline-type:%2;")
                .arg(Rgb(look.colour),
                     look.underline ? QStringLiteral("single") : QStringLiteral("none"));
        };
        return new TextViewAccessible(source, std::move(reader));
    }
    return nullptr;
}

// The program never puts text on a clipboard of its own accord (both views refuse
// to copy). What its process does put there, the accessibility bus's copy and cut
// requests, comes off again at once; the login window's edits copy as usual.
void GuardClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(
        clipboard, &QClipboard::changed, clipboard, [clipboard](QClipboard::Mode mode) {
            static bool clearing = false;
            const bool owned = mode == QClipboard::Clipboard   ? clipboard->ownsClipboard()
                               : mode == QClipboard::Selection ? clipboard->ownsSelection()
                                                               : clipboard->ownsFindBuffer();
            if (clearing || !owned ||
                qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr) {
                return;
            }
            clearing = true;
            clipboard->clear(mode);
            clearing = false;
        });
}

} // namespace

void InstallTextViewAccessibility() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    QAccessible::installFactory(&TextViewFactory);
    GuardClipboard();
}

} // namespace qarvel::ui
