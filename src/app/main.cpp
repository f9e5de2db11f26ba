// The program: the command line, the application object, and the course
// between the exam window and the login window (ExamFlow).
#include "CommandLine.h"
#include "DisplayCheck.h"
#include "ExamFlow.h"
#include "ResultsSession.h"
#include "TeardownBound.h"
#include "TestDump.h"
#include "platform/Fonts.h"
#include "results/Settings.h"
#include "ui/Application.h"
#include "ui/Pictures.h"

#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
#if defined(__GLIBC__)
    // Buffers of a megabyte or more are mapped on their own and given back
    // when freed. Left to itself, glibc raises that bound to the largest buffer
    // freed so far (a long source's file bytes once converted), and the source
    // view's growing text and tables then leave their old copies in the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    // The command line first: --help, --version and mistakes need no display.
    const qarvel::app::CommandLine line =
        qarvel::app::ParseCommandLine(qarvel::app::ArgumentsOf(argc, argv));
    if (line.action != qarvel::app::CommandLine::Action::Run) {
        const QByteArray text = line.output.toUtf8();
        std::fputs(text.constData(), line.exitStatus() == 0 ? stdout : stderr);
        return line.exitStatus();
    }
    // The administrator's settings for the room: where the exam's text is, its
    // duration, the records, whether a number is required. What they set, the
    // command line cannot change.
    const qarvel::results::AdminSettings admin = qarvel::results::ReadAdminSettings();
    std::string sourcePath = line.sourcePath;
    if (!admin.source.isEmpty()) {
        if (line.sourceGiven && QFile::encodeName(admin.source).toStdString() != sourcePath) {
            std::fputs("qarvel: --source is not used: the administrator's qarvel.conf names "
                       "the exam's text (Source)\n",
                       stderr);
        }
        sourcePath = QFile::encodeName(admin.source).toStdString();
    }
    // Choosing the faces reads the font configuration, a good part of the
    // start-up that needs nothing of the display: it runs beside the set-up
    // of the application, and the first window waits for it if it must.
    const std::jthread faces([] {
        qarvel::platform::SongFamily();
        qarvel::platform::LatinFamily();
    });
    // Without a display Qt would abort; say why in one line instead.
    auto probe = std::make_unique<qarvel::app::DisplayProbe>(argc, argv);
    if (!probe->problem().empty()) {
        std::fprintf(stderr, "qarvel: %s\n", probe->problem().c_str());
        return 1;
    }
    qarvel::ui::Application app(argc, argv);
    probe.reset(); // the application holds its own connection now
    // Results records: the administrator's folder, or else the command line's.
    const QString resultsFolder =
        qarvel::results::ChooseResultsFolder(line.resultsFolder, admin.resultsFolder);
    app.setWindowIcon(QIcon(QPixmap::fromImage(qarvel::ui::ProgramIcon())));
    // The program ends by its own commands or with the exam window, never
    // because the login window closed while the exam window is not yet shown.
    QApplication::setQuitOnLastWindowClosed(false);
    qarvel::app::InstallTestDump(nullptr, start);

    // The source first, then the exam window made with it: a source that cannot
    // be read is shown in the error box and start-up goes on. The window's
    // controls are made once the login window is on screen. Then the login
    // window. A record names the source by its SHA-256, taken as the source is
    // read, and only when a record is kept.
    qarvel::app::ExamFlow::Options flowOptions;
    flowOptions.sourcePath = sourcePath;
    flowOptions.fingerprinted = !resultsFolder.isEmpty();
    qarvel::app::ExamFlow flow(std::move(flowOptions));
    qarvel::app::InstallTestDump(&flow.examWindow(), start);
    flow.loginWindow().SetFixedDuration(admin.duration);
    flow.loginWindow().SetNumberRequired(
        qarvel::results::NumberRequired(admin, !resultsFolder.isEmpty()));

    // Results records, when a teacher or the administrator asked for them;
    // otherwise the program writes nothing.
    std::unique_ptr<qarvel::app::ResultsSession> results;
    if (!resultsFolder.isEmpty()) {
        qarvel::app::ResultsSession::Options options;
        options.folder = resultsFolder;
        options.sourceFile = QFile::decodeName(flow.source().file.c_str());
        options.sourceSha256 = flow.source().sha256;
        results = std::make_unique<qarvel::app::ResultsSession>(flow.examWindow(), options);
        QObject::connect(&flow, &qarvel::app::ExamFlow::examBegun, results.get(),
                         &qarvel::app::ResultsSession::Begin);
        qarvel::app::ResultsSession::EndProgramOnSignals();
    }

    // The loop's first task: the login window, modally; the exam window comes
    // on screen when it has closed.
    QMetaObject::invokeMethod(&flow, &qarvel::app::ExamFlow::Run, Qt::QueuedConnection);
    const int status = app.exec();
    if (results) {
        results->Finish();
        results.reset();
    }
    // The windows went with the loop; tearing down the rest may not keep the
    // process alive longer than a moment.
    qarvel::app::BoundTeardown(status);
    return status;
}
