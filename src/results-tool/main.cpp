// qarvel-results: the records of a results folder as one table, on the
// terminal and in a CSV file; or, with --watch, a live view of the room.
#include "results/AtomicFile.h"
#include "results/ResultsTable.h"

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

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

std::vector<Row> Load(const QString& folder, bool warn) {
    const FolderRecords records = ReadFolder(folder);
    if (warn) {
        for (const QString& name : records.unreadable) {
            Print(stderr, QStringLiteral("无法读取，不是成绩记录：%1\n").arg(name));
        }
    }
    return MergeRecords(records, QDateTime::currentDateTime());
}

int Watch(const QString& folder, int interval, int rounds) {
    const bool terminal = ::isatty(STDOUT_FILENO) != 0;
    for (int round = 0; rounds <= 0 || round < rounds; ++round) {
        if (round > 0) {
            std::this_thread::sleep_for(std::chrono::seconds(interval));
        }
        const std::vector<Row> rows = Load(folder, false);
        QString screen = terminal ? QStringLiteral("\x1b[H\x1b[2J") : QString();
        screen +=
            QStringLiteral("%1  %2\n\n")
                .arg(folder, QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")));
        screen += FormatTable(rows) + QLatin1Char('\n') + FormatSummary(rows) + QLatin1Char('\n');
        if (!terminal) {
            screen += QLatin1Char('\n');
        }
        Print(stdout, screen);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qarvel-results"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "把成绩文件夹里的考试记录合并成一张表：显示在终端上，并写成 CSV 文件（UTF-8，带 BOM）。\n"
        "Merges the exam records of a results folder into one table, on the terminal and as CSV."));
    parser.addHelpOption();
    const QCommandLineOption csv(
        QStringLiteral("csv"), QStringLiteral("CSV 文件（默认：当前文件夹的 qarvel-results.csv）"),
        QStringLiteral("FILE"), QStringLiteral("qarvel-results.csv"));
    const QCommandLineOption watch(QStringLiteral("watch"),
                                   QStringLiteral("每隔几秒刷新终端上的表（不写 CSV）"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("--watch 的刷新间隔，秒（默认 3）"),
                                      QStringLiteral("SECONDS"), QStringLiteral("3"));
    const QCommandLineOption rounds(QStringLiteral("rounds"),
                                    QStringLiteral("--watch 刷新这么多次后退出（默认一直刷新）"),
                                    QStringLiteral("N"), QStringLiteral("0"));
    parser.addOptions({csv, watch, interval, rounds});
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("成绩文件夹"));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        Print(stderr, parser.helpText());
        return 2;
    }
    const QString folder = args.front();
    if (!QFileInfo(folder).isDir()) {
        Print(stderr, QStringLiteral("qarvel-results: 找不到文件夹 %1\n").arg(folder));
        return 1;
    }
    if (parser.isSet(watch)) {
        bool ok = false;
        const int seconds = parser.value(interval).toInt(&ok);
        if (!ok || seconds < 1) {
            Print(stderr, QStringLiteral("qarvel-results: --interval 要一个正整数\n"));
            return 2;
        }
        return Watch(folder, seconds, parser.value(rounds).toInt());
    }

    const std::vector<Row> rows = Load(folder, true);
    Print(stdout, FormatTable(rows) + QLatin1Char('\n') + FormatSummary(rows) + QLatin1Char('\n'));
    const QFileInfo target(QDir::current(), parser.value(csv));
    const WriteOutcome outcome =
        WriteFileAtomically(target.absolutePath(), target.fileName(), FormatCsv(rows), 0644);
    if (!outcome.ok) {
        Print(stderr, QStringLiteral("qarvel-results: 无法写入 %1：%2\n")
                          .arg(target.filePath(), DescribeWriteError(outcome.error)));
        return 1;
    }
    Print(stderr, QStringLiteral("CSV：%1\n").arg(target.absoluteFilePath()));
    return 0;
}
