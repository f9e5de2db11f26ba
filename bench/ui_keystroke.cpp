// The whole path of one keystroke in the exam window: key event, the answer
// box's rules, the comparison, the marks on the source view and the labels
// (painting excluded: no events are processed while the clock runs). The answer
// is typed, one key at a time, up to 20,000 characters of a 20,000-character
// source before the measured keystrokes. Also: window creation to first paint.
#include "app/ExamFlow.h"
#include "app/ResultsSession.h"
#include "exam/Gbk.h"
#include "results/Record.h"
#include "results/ResultsWriter.h"
#include "ui/Application.h"
#include "ui/ExamWindow.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

using qarvel::ui::ExamWindow;

// No box may wait for an answer while measuring.
qarvel::ui::MessageBoxes WarningBoxes() {
    return qarvel::ui::MessageBoxes([](const qarvel::ui::BoxRequest& box) {
        qWarning("message box: %s", qPrintable(box.text));
        return qarvel::ui::BoxAnswer::Ok;
    });
}

// The exam window's setup as the program makes it: the source of the working
// folder, loaded.
qarvel::ui::ExamWindowSetup LoadedSetup() {
    qarvel::ui::ExamWindowSetup setup;
    setup.boxes = WarningBoxes();
    setup.sourceText = qarvel::app::LoadSource(qarvel::exam::kSourcePath, false, setup.boxes).text;
    return setup;
}

constexpr int kCharacters = 20000;
constexpr int kLineLength = 200; // characters per paragraph of the source

// kCharacters characters: Chinese text with full-width punctuation, a line break
// after every kLineLength characters (a line break counts as one character);
// the last character is a Chinese one.
QString MakeSource() {
    const QString prose = QStringLiteral("春眠不觉晓，处处闻啼鸟。夜来风雨声，花落知多少。"
                                         "床前明月光，疑是地上霜。举头望明月，低头思故乡。");
    QString text;
    text.reserve(kCharacters);
    for (int i = 0; text.size() < kCharacters; ++i) {
        const bool lineEnd = (i + 1) % kLineLength == 0 && i + 1 < kCharacters;
        text += lineEnd ? QChar('\n') : prose[i % prose.size()];
    }
    return text;
}

void Key(QWidget* target, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

// Types one character of the source as an examinee would: Enter for a line break.
void Type(QWidget* memo, QChar ch) {
    if (ch == QChar('\n')) {
        Key(memo, Qt::Key_Return, QStringLiteral("\r"));
    } else {
        Key(memo, Qt::Key_unknown, QString(ch));
    }
}

// A working folder with the source as vexo/2.txt, current while it lives.
class Folder {
public:
    explicit Folder(const QString& source) : previous_(QDir::currentPath()) {
        QDir(dir_.path()).mkpath(QStringLiteral("vexo"));
        QFile file(dir_.filePath(QStringLiteral("vexo/2.txt")));
        file.open(QIODevice::WriteOnly);
        const QByteArray utf8 = source.toUtf8();
        const std::string gbk =
            qarvel::exam::Utf8ToGbk({utf8.constData(), std::size_t(utf8.size())});
        file.write(gbk.data(), qint64(gbk.size()));
        file.close();
        QDir::setCurrent(dir_.path());
    }
    ~Folder() { QDir::setCurrent(previous_); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

private:
    QString previous_;
    QTemporaryDir dir_;
};

struct Exam {
    QString source = MakeSource();
    Folder folder{source};
    std::unique_ptr<ExamWindow> form = std::make_unique<ExamWindow>(LoadedSetup());
    QPlainTextEdit* memo = form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    QLabel* label10 = form->findChild<QLabel*>(QStringLiteral("Label10"));
    int typed = 0;
    // With results records on: a record of the whole answer every `period`
    // into a folder in /dev/shm, so writes run beside the measured keystrokes.
    QTemporaryDir results{QStringLiteral("/dev/shm/qarvel-bench-XXXXXX")};
    std::unique_ptr<qarvel::app::ResultsSession> session;

    explicit Exam(std::chrono::milliseconds period = {}) {
        if (period.count() > 0) {
            qarvel::app::ResultsSession::Options options;
            options.folder = results.path();
            options.spoolRoot = results.filePath(QStringLiteral("spool"));
            options.period = period;
            session = std::make_unique<qarvel::app::ResultsSession>(*form, options);
            session->Begin();
        }
        form->show();
        memo->setFocus();
        QCoreApplication::processEvents();
    }

    // Types the source up to `characters` characters; the first Chinese
    // character is typed wrong, so the exam never completes.
    void TypeUpTo(int characters) {
        while (typed < characters) {
            const QChar ch = source[typed];
            Type(memo, typed == 0 ? QChar(u'夏') : ch);
            ++typed;
            if (typed % 500 == 0) {
                QCoreApplication::processEvents();
            }
        }
        QCoreApplication::processEvents();
    }
};

Exam& SharedExam() {
    static Exam exam;
    return exam;
}

// The program writes a record every 9 s; here every 1 s, and every 20 ms.
Exam& SharedExamWithResults(std::int64_t periodMs = 1000) {
    static std::map<std::int64_t, std::unique_ptr<Exam>> exams;
    auto& exam = exams[periodMs];
    if (!exam) {
        exam = std::make_unique<Exam>(std::chrono::milliseconds(periodMs));
    }
    return *exam;
}

// One Chinese character typed at the end of a 19,999-character answer (the
// answer then holds 20,000), then taken back with Backspace outside the timing.
// Argument: 0 without results records, otherwise the period of their writes in ms.
void BM_KeystrokeAtEnd(benchmark::State& state) {
    Exam& exam = state.range(0) != 0 ? SharedExamWithResults(state.range(0)) : SharedExam();
    exam.TypeUpTo(kCharacters - 1);
    const QChar next = exam.source[kCharacters - 1];
    for (auto _ : state) {
        Type(exam.memo, next);
        state.PauseTiming();
        Key(exam.memo, Qt::Key_Backspace, QStringLiteral("\b"));
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["answer_chars"] = double(exam.memo->toPlainText().size() + 1);
    state.counters["Label10"] = exam.label10->text().toDouble();
    if (exam.session) {
        const auto counts = exam.session->writer()->counts();
        state.counters["records_written"] = counts.folderWrites;
        state.counters["write_us"] = double(counts.lastWrite.count());
    }
}

// What a record costs the window's thread every few seconds: reading the
// window and making the JSON of a 20,000-character answer (the write itself
// runs in the worker thread).
void BM_RecordSnapshot(benchmark::State& state) {
    Exam& exam = SharedExamWithResults();
    exam.TypeUpTo(kCharacters - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qarvel::results::ToJson(exam.session->Snapshot()));
    }
}

// Backspace at the end of the 20,000-character answer: the deletion's judgement.
void BM_BackspaceAtEnd(benchmark::State& state) {
    Exam& exam = SharedExam();
    exam.TypeUpTo(kCharacters - 1);
    const QChar next = exam.source[kCharacters - 1];
    for (auto _ : state) {
        state.PauseTiming();
        Type(exam.memo, next);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        Key(exam.memo, Qt::Key_Backspace, QStringLiteral("\b"));
    }
}

// Window creation (loading and counting the source, building every control) to
// its first paint, for the 20,000-character source.
void BM_CreateToShown(benchmark::State& state) {
    const QString source = MakeSource();
    Folder folder(source);
    for (auto _ : state) {
        ExamWindow form(LoadedSetup());
        bool painted = false;
        struct Watch : QObject {
            bool* painted;
            explicit Watch(bool* p) : painted(p) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) {
                    *painted = true;
                }
                return false;
            }
        } watch(&painted);
        form.installEventFilter(&watch);
        form.show();
        while (!painted) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        state.PauseTiming();
        form.removeEventFilter(&watch);
        form.hide();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_KeystrokeAtEnd)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);
BENCHMARK(BM_RecordSnapshot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackspaceAtEnd)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_CreateToShown)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QT_IM_MODULE", "");
    qarvel::ui::Application app(argc, argv, WarningBoxes());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
