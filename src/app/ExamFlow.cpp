#include "ExamFlow.h"

#include "StartCheck.h"
#include "ui/MessageBoxes.h"
#include "ui/ResultPanel.h"

#include <QByteArrayView>
#include <QCryptographicHash>
#include <QFile>
#include <string_view>
#include <utility>

namespace qarvel::app {

LoadedSource LoadSource(const std::string& path, bool fingerprinted,
                        const ui::MessageBoxes& boxes) {
    LoadedSource source;
    source.file = exam::FullSourcePath(path);
    const auto fingerprint = [&](std::string_view bytes) {
        if (fingerprinted) {
            source.sha256 = QString::fromLatin1(
                QCryptographicHash::hash(
                    QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                    QCryptographicHash::Sha256)
                    .toHex());
        }
    };
    source.read = boxes.Guarded([&] { source.text = exam::LoadSourceFile(path, fingerprint); });
    if (!source.read) {
        source.text.clear();
        source.sha256.clear();
    }
    return source;
}

ExamFlow::ExamFlow(Options options)
    : boxes_(options.window.boxes), exam_(WithSource(options), options.controls), login_(boxes_) {
    connect(&login_, &ui::LoginWindow::startRequested, this, &ExamFlow::StartRequested);
    connect(&login_, &QDialog::finished, this, [this](int result) {
        if (result != ui::LoginWindow::kExitChosen) {
            // The exam's typing is written down from the login on: the result
            // at the end is measured from it.
            if (!exam_.recorder().started()) {
                exam_.recorder().Start();
            }
            emit examBegun();
        }
    });
    // The examinee's result, when the exam is over.
    ui::ResultPanel::Follow(exam_);
}

ExamFlow::~ExamFlow() = default;

ui::ExamWindowSetup ExamFlow::WithSource(Options& options) {
    source_ = LoadSource(options.sourcePath, options.fingerprinted, boxes_);
    ui::ExamWindowSetup setup = std::move(options.window);
    setup.sourceText = std::move(source_.text);
    std::string().swap(source_.text);
    return setup;
}

void ExamFlow::StartRequested(const ui::Examinee& examinee) {
    // No exam without a text: while the source is missing, unreadable or holds
    // nothing to type, the login says so (naming the file) and stays.
    const exam::ExamState& state = exam_.state();
    exam::SourceCounts counts;
    counts.ascii = state.SourceAsciiCount;
    counts.hanzi = state.SourceHighByteCount / 2;
    counts.total = counts.ascii + counts.hanzi;
    const QString refusal =
        RefusalToStart(source_.read, counts, QFile::decodeName(source_.file.c_str()));
    if (!refusal.isEmpty()) {
        boxes_.ShowPlain(refusal);
        return;
    }
    // The name and number go over even when the duration was refused.
    exam_.SetExaminee(examinee);
    if (!examinee.duration) {
        return; // the login says why and stays
    }
    login_.AcceptStart();
    ShowExamWindow();
}

void ExamFlow::Run() {
    // The exam window is not on screen meanwhile; its controls are made once
    // the login is, in idle time, and the source is counted in the next slice.
    exam_.MakeControlsAfterFirstPaintOf(&login_);
    const int result = login_.exec();
    // The login is over: its window goes, and with it the pixels kept for it,
    // before the exam window is painted.
    login_.ReleaseWindowResources();
    if (result == ui::LoginWindow::kExitChosen) {
        return; // the program ends without the exam window ever on screen
    }
    ShowExamWindow();
}

void ExamFlow::ShowExamWindow() {
    exam_.show();
    exam_.raise();
    exam_.activateWindow();
}

} // namespace qarvel::app
