#pragma once

// Shared helpers of the window tests: a working folder holding the source text,
// a recorder of message boxes, the exam window's setup, and typing into widgets.

#include "exam/Gbk.h"
#include "exam/SourceFile.h"
#include "ui/ExamWindowSetup.h"
#include "ui/MessageBoxes.h"
#include "ui/SourceView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <string>
#include <vector>

namespace qarvel::ui::testing {

inline std::string Gbk(const char* utf8) {
    return exam::Utf8ToGbk(utf8);
}

// A temporary working folder, optionally holding vexo/2.txt; it is the current
// folder while the object lives.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string* gbkSource) : previous_(QDir::currentPath()) {
        if (gbkSource != nullptr) {
            QDir(dir_.path()).mkpath(QStringLiteral("vexo"));
            QFile file(dir_.filePath(QStringLiteral("vexo/2.txt")));
            file.open(QIODevice::WriteOnly);
            file.write(gbkSource->data(), static_cast<qint64>(gbkSource->size()));
        }
        QDir::setCurrent(dir_.path());
    }
    ~WorkingFolder() { QDir::setCurrent(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    [[nodiscard]] QString path() const { return QDir(dir_.path()).canonicalPath(); }

private:
    QString previous_;
    QTemporaryDir dir_;
};

// Answers every message box with `answer` and keeps what was asked. It must
// outlive the windows given its messageBoxes().
class BoxRecorder {
public:
    explicit BoxRecorder(BoxAnswer answer = BoxAnswer::Ok) : answer_(answer) {}
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    [[nodiscard]] MessageBoxes messageBoxes() {
        return MessageBoxes([this](const BoxRequest& request) {
            boxes.push_back(request);
            return answer_;
        });
    }

    std::vector<BoxRequest> boxes;

private:
    BoxAnswer answer_;
};

// The exam window's setup for a source file holding `fileBytes`, read as the
// program reads it; the window's boxes go to `boxes`.
inline ExamWindowSetup SetupFor(const std::string& fileBytes, BoxRecorder& boxes) {
    ExamWindowSetup setup;
    setup.sourceText = exam::SourceTextFromBytes(fileBytes);
    setup.boxes = boxes.messageBoxes();
    return setup;
}

// An input method committing `text` in one go at the end of a composition: its
// pre-edit is shown first, as pinyin shows the syllables.
inline void Commit(QWidget* target, const QString& text) {
    QInputMethodEvent preedit(text, {});
    QApplication::sendEvent(target, &preedit);
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(target, &event);
}

// A key with text, as a keyboard without an input method types it.
inline void TypeKey(QWidget* target, const QString& text) {
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, text, Qt::NoModifier);
}

struct Look {
    QColor colour;
    bool underline = false;
};

// Colour and underline of the character at document position `position`.
inline Look LookAt(const QTextDocument* document, int position) {
    const QTextBlock block = document->findBlock(position);
    if (position == block.position() + block.length() - 1 && block.next().isValid()) {
        // A paragraph break: its format is kept as the next block's character format.
        const QTextCharFormat format = block.next().charFormat();
        return {format.foreground().color(), format.fontUnderline()};
    }
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.contains(position)) {
            const QTextCharFormat format = fragment.charFormat();
            return {format.foreground().color(), format.fontUnderline()};
        }
    }
    return {};
}

// The same of the source view, whose marks are its own.
inline Look LookAt(const SourceView* view, int position) {
    const SourceView::Look look = view->lookAt(position);
    return {look.colour, look.underline};
}

inline Look LookAtOffset(const SourceView* view, int offset) {
    return LookAt(view, view->positionAt(offset));
}

inline const QColor kBlue(0, 0, 255);
inline const QColor kRed(255, 0, 0);
inline const QColor kBlack(0, 0, 0);

} // namespace qarvel::ui::testing
