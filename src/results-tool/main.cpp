// qarvel-results: the records of a results folder as one table, on the
// terminal and in a CSV file, or as JSON for scripts; or, with --watch, a live
// view of the room. Every record is replayed and checked on its source.
#include "results/AtomicFile.h"
#include "results/ResultsTable.h"
#include "results/TextSafety.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

using namespace qarvel::results;

// What the command line asks for.
struct Options {
    QString folder;
    QString source; // the teacher's source text; empty: each record's own
    QString csv;
    bool json = false;
    bool watch = false;
    int interval = 3;
    int rounds = 0;
};

void Print(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Text for the terminal: every line made safe on its own.
void Print(std::FILE* stream, const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = ForTerminal(line);
    }
    Print(stream, lines.join(QLatin1Char('\n')).toUtf8());
}

void Error(const QString& message) {
    Print(stderr, QStringLiteral("qarvel-results: %1\n").arg(message));
}

// The folder's rows, checked.
std::vector<Row> Load(const Options& options, SourceTexts& sources, bool warn) {
    const FolderRecords records = ReadFolder(options.folder);
    if (warn) {
        for (const QString& name : records.unreadable) {
            Print(stderr, QStringLiteral("无法读取，不是成绩记录：%1\n").arg(name));
        }
    }
    std::vector<Row> rows = MergeRecords(records, QDateTime::currentDateTime());
    VerifyRows(rows, sources);
    return rows;
}

int Watch(const Options& options, SourceTexts& sources) {
    const bool terminal = ::isatty(STDOUT_FILENO) != 0;
    for (int round = 0; options.rounds <= 0 || round < options.rounds; ++round) {
        if (round > 0) {
            std::this_thread::sleep_for(std::chrono::seconds(options.interval));
        }
        const std::vector<Row> rows = Load(options, sources, false);
        QString screen =
            QStringLiteral("%1  %2\n\n")
                .arg(options.folder,
                     QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")));
        screen += FormatTable(rows) + QLatin1Char('\n') + FormatSummary(rows) + QLatin1Char('\n');
        if (!terminal) {
            screen += QLatin1Char('\n');
        }
        // The screen is cleared by our own sequence, after the text is made safe.
        if (terminal) {
            Print(stdout, QByteArray("\x1b[H\x1b[2J"));
        }
        Print(stdout, screen);
    }
    return 0;
}

int PrintJson(const Options& options, SourceTexts& sources) {
    Print(stdout, FormatJson(Load(options, sources, true)));
    return 0;
}

int TableAndCsv(const Options& options, SourceTexts& sources) {
    const std::vector<Row> rows = Load(options, sources, true);
    Print(stdout, FormatTable(rows) + QLatin1Char('\n') + FormatSummary(rows) + QLatin1Char('\n'));
    const QFileInfo target(QDir::current(), options.csv);
    const WriteOutcome outcome =
        WriteFileAtomically(target.absolutePath(), target.fileName(), FormatCsv(rows), 0644);
    if (!outcome.ok) {
        Error(QStringLiteral("无法写入 %1：%2")
                  .arg(target.filePath(), DescribeWriteError(outcome.error)));
        return 1;
    }
    Print(stderr, QStringLiteral("CSV：%1\n").arg(target.absoluteFilePath()));
    return 0;
}

// Reads the command line; an exit code when the program is to end at once.
std::optional<int> ParseOptions(const QCoreApplication& app, Options& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "把成绩文件夹里的考试记录合并成一张表：显示在终端上，并写成 CSV 文件（UTF-8，带 BOM）。"
        "每份记录都按原文重放核验。\n"
        "Merges the exam records of a results folder into one table, on the terminal and as CSV; "
        "replays and checks every record on its source text."));
    parser.addHelpOption();
    const QCommandLineOption csv(
        QStringLiteral("csv"), QStringLiteral("CSV 文件（默认：当前文件夹的 qarvel-results.csv）"),
        QStringLiteral("FILE"), QStringLiteral("qarvel-results.csv"));
    const QCommandLineOption source(
        QStringLiteral("source"),
        QStringLiteral("考试用的原文文件：记录按它重放核验（SHA-256 须一致）"),
        QStringLiteral("FILE"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("把结果作为一个 JSON 数组输出到标准输出（不写 CSV）"));
    const QCommandLineOption watch(QStringLiteral("watch"),
                                   QStringLiteral("每隔几秒刷新终端上的表（不写 CSV）"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("--watch 的刷新间隔，秒（默认 3）"),
                                      QStringLiteral("SECONDS"), QStringLiteral("3"));
    const QCommandLineOption rounds(QStringLiteral("rounds"),
                                    QStringLiteral("--watch 刷新这么多次后退出（默认一直刷新）"),
                                    QStringLiteral("N"), QStringLiteral("0"));
    parser.addOptions({csv, source, json, watch, interval, rounds});
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("成绩文件夹"));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        Print(stderr, parser.helpText());
        return 2;
    }
    options.folder = args.front();
    options.csv = parser.value(csv);
    options.source = parser.value(source);
    options.json = parser.isSet(json);
    options.watch = parser.isSet(watch);
    if (!QFileInfo(options.folder).isDir()) {
        Error(QStringLiteral("找不到文件夹 %1").arg(options.folder));
        return 1;
    }
    if (!options.source.isEmpty() && !QFileInfo(options.source).isReadable()) {
        Error(QStringLiteral("无法读取原文 %1").arg(options.source));
        return 1;
    }
    if (options.watch) {
        bool ok = false;
        options.interval = parser.value(interval).toInt(&ok);
        if (!ok || options.interval < 1) {
            Error(QStringLiteral("--interval 要一个正整数"));
            return 2;
        }
        options.rounds = parser.value(rounds).toInt();
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qarvel-results"));
    Options options;
    if (const auto code = ParseOptions(app, options)) {
        return *code;
    }
    SourceTexts sources(options.source);
    if (options.watch) {
        return Watch(options, sources);
    }
    if (options.json) {
        return PrintJson(options, sources);
    }
    return TableAndCsv(options, sources);
}
