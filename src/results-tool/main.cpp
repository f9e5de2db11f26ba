// qarvel-results: the records of a results folder as one table, on the
// terminal and in a CSV file, or as JSON for scripts; or, with --watch, a live
// view of the room. Every record is replayed and checked on its source. Also
// the class report as an HTML page and an .xlsx workbook.
#include "identity/Identity.h"
#include "results/AtomicFile.h"
#include "results/BoundedRead.h"
#include "results/ClassReport.h"
#include "results/ResultsTable.h"
#include "results/Sorting.h"
#include "results/TextSafety.h"
#include "results/XlsxReport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
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
    QString html;         // the class report; empty for none
    QString xlsx;         // the workbook; empty for none
    ReportOptions report; // the 成绩单: heading, rules, roster
    SortKey sort = SortKey::Number;
    bool json = false;
    bool watch = false;
    int interval = 3;
    int rounds = 0;
    RoomRules rules;
};

// The exit statuses, as the manual page lists them.
constexpr int kAllRead = 0;
constexpr int kFailed = 1;     // the folder or the source could not be read, or an output written
constexpr int kUsage = 2;      // the command line is wrong
constexpr int kSomeUnread = 3; // done, but some files of the folder are not readable records

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

// The message for a folder that cannot be listed.
QString FolderError(const Options& options, const QString& error) {
    return QStringLiteral("无法读取成绩文件夹 %1：%2").arg(options.folder, error);
}

// The folder's rows, checked; nothing when the folder could not be listed.
std::optional<std::vector<Row>> Load(const Options& options, SourceTexts& sources, bool warn,
                                     CheckCache* cache = nullptr, QString* error = nullptr) {
    FolderRecords records = ReadFolder(options.folder);
    if (!records.error.isEmpty()) {
        if (warn) {
            Error(FolderError(options, records.error));
        }
        if (error != nullptr) {
            *error = records.error;
        }
        return std::nullopt;
    }
    if (warn) {
        for (qsizetype i = 0; i < records.unreadable.size(); ++i) {
            Print(stderr, QStringLiteral("无法读取：%1：%2\n")
                              .arg(records.unreadable[i], records.reasons.value(i)));
        }
    }
    std::vector<Row> rows =
        MergeRecords(std::move(records), QDateTime::currentDateTime(), options.rules);
    VerifyRows(rows, sources, cache);
    std::vector<SortFields> fields;
    for (const Row& row : rows) {
        fields.push_back({qarvel::identity::NumberKey(row.record.number), row.record.name,
                          row.record.score, row.measures.speed});
    }
    std::vector<Row> sorted;
    for (const std::size_t i : SortOrder(fields, options.sort)) {
        sorted.push_back(std::move(rows[i]));
    }
    return sorted;
}

// The status for rows written out: whether every file was a record.
int RowsStatus(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        if (!row.unreadable.isEmpty()) {
            return kSomeUnread;
        }
    }
    return kAllRead;
}

// The class report and the workbook, when asked for.
int WriteReports(const Options& options, const std::vector<Row>& rows, SourceTexts& sources) {
    if (options.html.isEmpty() && options.xlsx.isEmpty()) {
        return 0;
    }
    // One copy of each source text, however many rows were made on it.
    std::vector<std::shared_ptr<const std::string>> texts;
    std::vector<std::shared_ptr<const std::string>> distinct;
    for (const Row& row : rows) {
        std::optional<std::string> text = sources.For(row.record).text;
        std::shared_ptr<const std::string> shared;
        if (text) {
            const auto same = std::find_if(distinct.begin(), distinct.end(),
                                           [&](const auto& known) { return *known == *text; });
            if (same != distinct.end()) {
                shared = *same;
            } else {
                shared = std::make_shared<const std::string>(std::move(*text));
                distinct.push_back(shared);
            }
        }
        texts.push_back(std::move(shared));
    }
    ReportOptions wanted = options.report;
    wanted.sourceName = options.source.isEmpty() ? QString() : QFileInfo(options.source).fileName();
    wanted.byNumber = options.sort == SortKey::Number;
    const ClassReport report = MakeClassReport(rows, texts, wanted, QDateTime::currentDateTime());
    int status = 0;
    if (!options.html.isEmpty()) {
        const QFileInfo target(QDir::current(), options.html);
        const WriteOutcome outcome =
            WriteFileAtomically(target.absolutePath(), target.fileName(), ReportHtml(report), 0644);
        if (outcome.ok) {
            Print(stderr, QStringLiteral("报告：%1\n").arg(target.absoluteFilePath()));
        } else {
            Error(QStringLiteral("无法写入 %1：%2")
                      .arg(target.filePath(), DescribeWriteError(outcome.error)));
            status = kFailed;
        }
    }
    if (!options.xlsx.isEmpty()) {
        const QFileInfo target(QDir::current(), options.xlsx);
        const QString error = WriteXlsx(target.absoluteFilePath(), report);
        if (error.isEmpty()) {
            Print(stderr, QStringLiteral("工作簿：%1\n").arg(target.absoluteFilePath()));
        } else {
            Error(QStringLiteral("无法写入 %1：%2").arg(target.filePath(), error));
            status = kFailed;
        }
    }
    return status;
}

int Watch(const Options& options, SourceTexts& sources) {
    const bool terminal = ::isatty(STDOUT_FILENO) != 0;
    CheckCache cache; // a record is replayed again only when it has changed
    for (int round = 0; options.rounds <= 0 || round < options.rounds; ++round) {
        if (round > 0) {
            std::this_thread::sleep_for(std::chrono::seconds(options.interval));
        }
        QString error;
        const std::optional<std::vector<Row>> rows = Load(options, sources, false, &cache, &error);
        QString screen =
            QStringLiteral("%1  %2\n\n")
                .arg(options.folder,
                     QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")));
        screen += rows ? FormatTable(*rows) + QLatin1Char('\n') + FormatSummary(*rows)
                       : FolderError(options, error);
        screen += QLatin1Char('\n');
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
    const std::optional<std::vector<Row>> loaded = Load(options, sources, true);
    if (!loaded) {
        return kFailed;
    }
    const std::vector<Row>& rows = *loaded;
    Print(stdout, FormatJson(rows));
    const int written = WriteReports(options, rows, sources);
    return written != kAllRead ? written : RowsStatus(rows);
}

int TableAndCsv(const Options& options, SourceTexts& sources) {
    const std::optional<std::vector<Row>> loaded = Load(options, sources, true);
    if (!loaded) {
        return kFailed;
    }
    const std::vector<Row>& rows = *loaded;
    Print(stdout, FormatTable(rows) + QLatin1Char('\n') + FormatSummary(rows) + QLatin1Char('\n'));
    const QFileInfo target(QDir::current(), options.csv);
    const WriteOutcome outcome =
        WriteFileAtomically(target.absolutePath(), target.fileName(), FormatCsv(rows), 0644);
    if (!outcome.ok) {
        Error(QStringLiteral("无法写入 %1：%2")
                  .arg(target.filePath(), DescribeWriteError(outcome.error)));
        return kFailed;
    }
    Print(stderr, QStringLiteral("CSV：%1\n").arg(target.absoluteFilePath()));
    const int written = WriteReports(options, rows, sources);
    return written != kAllRead ? written : RowsStatus(rows);
}

// The help: Chinese, with an English line under each option; the options are
// this program's own (none of Qt's).
QString HelpText(const QList<QCommandLineOption>& options) {
    QString text = QStringLiteral(
        "用法：qarvel-results [选项] 成绩文件夹\n"
        "Usage: qarvel-results [options] DIR\n\n"
        "把成绩文件夹里的考试记录合并成一张表：显示在终端上，并写成 CSV 文件（UTF-8，带 BOM）；\n"
        "每份记录都按原文重放核验。还可以写成全班的成绩报告（网页）和 Excel 工作簿。\n"
        "Merges the exam records of a results folder into one table, on the terminal and as CSV;\n"
        "replays and checks every record on its source text. Also writes a class report (a web\n"
        "page) and an Excel workbook.\n\n"
        "选项 Options:\n");
    for (const QCommandLineOption& option : options) {
        QString names;
        for (const QString& name : option.names()) {
            names += (names.isEmpty() ? QString() : QStringLiteral(", ")) +
                     (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        }
        if (!option.valueName().isEmpty()) {
            names += QLatin1Char(' ') + option.valueName();
        }
        const QStringList lines = option.description().split(QLatin1Char('\n'));
        text += QStringLiteral("  %1\n").arg(names);
        for (const QString& line : lines) {
            text += QStringLiteral("      %1\n").arg(line);
        }
    }
    return text +
           QStringLiteral("\n参数 Arguments:\n  DIR\n      成绩文件夹\n      The results folder\n");
}

// A heading's text as the teacher gave it: one line, no control characters,
// at most 100 characters.
QString HeadingText(const QString& text) {
    QString out;
    for (const QChar c : text) {
        out += c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
                   ? QChar(QLatin1Char(' '))
                   : c;
    }
    return out.simplified().left(100);
}

// The options of the 成绩单, in the order: title, school, class, teacher,
// roster, pass, pass-speed, retake, count, curves.
std::optional<int> ParseReportOptions(const QCommandLineParser& parser,
                                      const QList<QCommandLineOption>& o, ReportOptions& report) {
    report.heading = {HeadingText(parser.value(o[0])), HeadingText(parser.value(o[1])),
                      HeadingText(parser.value(o[2])), HeadingText(parser.value(o[3]))};
    if (parser.isSet(o[4])) {
        QString error;
        report.roster = ReadRoster(parser.value(o[4]), error);
        if (!report.roster) {
            Error(error);
            return 1;
        }
    }
    if (parser.isSet(o[5])) {
        bool ok = false;
        const int score = parser.value(o[5]).toInt(&ok);
        if (!ok || score < 0 || score > 100) {
            Error(QStringLiteral("--pass 要一个 0 到 100 的整数（得分）"));
            return 2;
        }
        report.pass.score = score;
    }
    if (parser.isSet(o[6])) {
        bool ok = false;
        const double speed = parser.value(o[6]).toDouble(&ok);
        if (!ok || !(speed > 0) || speed > 10000) {
            Error(QStringLiteral("--pass-speed 要一个正数（字/分）"));
            return 2;
        }
        report.pass.speed = speed;
    }
    const std::optional<RetakeRule> rule = ParseRetakeRule(parser.value(o[7]));
    if (!rule) {
        Error(QStringLiteral("--retake 只能是 best 或 last"));
        return 2;
    }
    report.retake = *rule;
    const std::optional<Counting> counting = ParseCounting(parser.value(o[8]));
    if (!counting) {
        Error(QStringLiteral("--count 只能是 abandoned、lost、unverified（逗号分开）或 all"));
        return 2;
    }
    report.counting = *counting;
    if (parser.value(o[9]) == QLatin1String("all")) {
        report.curves = -1;
    } else {
        bool ok = false;
        report.curves = parser.value(o[9]).toInt(&ok);
        if (!ok || report.curves < 0) {
            Error(QStringLiteral("--curves 要一个不小于 0 的整数，或 all"));
            return 2;
        }
    }
    return std::nullopt;
}

// Reads the command line; an exit code when the program is to end at once.
std::optional<int> ParseOptions(const QCoreApplication& app, Options& options) {
    QCommandLineParser parser;
    const auto option = [](const char* name, const char* chinese, const char* english,
                           const char* value = nullptr, const char* fallback = nullptr) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromUtf8(chinese) +
                                                            QLatin1Char('\n') +
                                                            QString::fromUtf8(english));
        if (value != nullptr) {
            o.setValueName(QString::fromLatin1(value));
        }
        if (fallback != nullptr) {
            o.setDefaultValue(QString::fromLatin1(fallback));
        }
        return o;
    };
    const QCommandLineOption csv =
        option("csv", "CSV 文件（默认：当前文件夹的 qarvel-results.csv）",
               "The CSV file (default: qarvel-results.csv in the current folder)", "FILE",
               "qarvel-results.csv");
    const QCommandLineOption source =
        option("source", "考试用的原文文件：记录按它重放核验（SHA-256 须一致）",
               "The source text of the exam: records are replayed and checked on it", "FILE");
    const QCommandLineOption json =
        option("json", "把结果作为一个 JSON 数组输出到标准输出（不写 CSV）",
               "Print the results as one JSON array on standard output (no CSV)");
    const QCommandLineOption sort =
        option("sort", "行的顺序：number（学号，默认）、name（姓名）、score（得分）、speed（速度）",
               "Sort the rows by number (the default), name, score or speed", "KEY", "number");
    const QCommandLineOption html =
        option("html", "另写一份全班成绩报告（网页，可打印）",
               "Also write the class report as one HTML page (prints on A4)", "FILE");
    const QCommandLineOption xlsx = option("xlsx", "另写一份 Excel 工作簿",
                                           "Also write the table as an Excel workbook", "FILE");
    const QCommandLineOption title =
        option("title", "成绩单的标题（默认“打字考试成绩单”）", "The title of the report", "TEXT");
    const QCommandLineOption school =
        option("school", "成绩单上的学校名", "The school named on the report", "TEXT");
    const QCommandLineOption className =
        option("class", "成绩单上的班级", "The class named on the report", "TEXT");
    const QCommandLineOption teacher =
        option("teacher", "成绩单上的任课教师", "The teacher named on the report", "TEXT");
    const QCommandLineOption roster = option(
        "roster", "班级名单（CSV，每行：学号,姓名；UTF-8 或 GBK）：列出缺考和不在名单上的学号",
        "The class roster (CSV of number,name): absentees and unknown numbers are listed", "FILE");
    const QCommandLineOption pass = option("pass", "及格标准：得分不低于这个数",
                                           "Pass mark: a score of at least this", "SCORE");
    const QCommandLineOption passSpeed =
        option("pass-speed", "及格标准：速度不低于这么多字/分（与 --pass 同用时两样都要达到）",
               "Pass mark: at least this many characters a minute (with --pass: both)", "SPEED");
    const QCommandLineOption retake =
        option("retake", "一人考了多次时取哪一次：best（最好的一次，默认）或 last（最后一次）",
               "Which record of a student taking the exam again counts: best (the default) "
               "or last",
               "RULE", "best");
    const QCommandLineOption counting =
        option("count",
               "也计入名次和平均的记录：abandoned（中途退出）、lost（失联）、"
               "unverified（未通过核验），逗号分开，或 all",
               "Also rank and average these records: abandoned, lost, unverified (comma between) "
               "or all",
               "KINDS");
    const QCommandLineOption curves =
        option("curves", "成绩单里画多少人的打字曲线（默认 12；all：全部）",
               "How many typing curves the report shows (default 12; all: every one)", "N", "12");
    const QCommandLineOption watch = option("watch", "每隔几秒刷新终端上的表（不写 CSV）",
                                            "Redraw the table every few seconds (no CSV)");
    const QCommandLineOption interval =
        option("interval", "--watch 的刷新间隔，秒（默认 3）",
               "Seconds between two redraws of --watch (default 3)", "SECONDS", "3");
    const QCommandLineOption rounds =
        option("rounds", "--watch 刷新这么多次后退出（默认一直刷新）",
               "Stop --watch after N redraws (default: never)", "N", "0");
    const QCommandLineOption duration =
        option("duration", "本场考试的时长（时:分:秒）：时长不同的记录加标记（默认与多数记录比较）",
               "The exam's duration (h:mm:ss): records of another duration are flagged "
               "(default: the duration most records have)",
               "TIME");
    const QCommandLineOption version =
        option("version", "显示版本后退出", "Print the version and exit");
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示这些说明后退出\nPrint this help and exit"));
    const QList<QCommandLineOption> all{csv,       source,   json,      sort,    html,   xlsx,
                                        title,     school,   className, teacher, roster, pass,
                                        passSpeed, retake,   counting,  curves,  watch,  interval,
                                        rounds,    duration, version,   help};
    parser.addOptions(all);
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("成绩文件夹"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(app.arguments())) {
        Error(QStringLiteral("命令行有误：%1\n用 --help 查看选项。See --help for the options.")
                  .arg(parser.errorText()));
        return kUsage;
    }
    if (parser.isSet(help)) {
        Print(stdout, HelpText(all));
        return 0;
    }
    if (parser.isSet(version)) {
        Print(stdout, QStringLiteral("qarvel-results %1\n").arg(QStringLiteral(QARVEL_VERSION)));
        return 0;
    }
    const std::optional<SortKey> key = ParseSortKey(parser.value(sort));
    if (!key) {
        Error(QStringLiteral("--sort 只能是 number、name、score 或 speed"));
        return kUsage;
    }
    options.sort = *key;
    if (parser.isSet(duration)) {
        options.rules.durationMs = DurationMs(parser.value(duration));
        if (!options.rules.durationMs) {
            Error(QStringLiteral("--duration 要一个时间，如 00:30:00"));
            return kUsage;
        }
    }
    options.html = parser.value(html);
    options.xlsx = parser.value(xlsx);
    if (const auto code = ParseReportOptions(
            parser,
            {title, school, className, teacher, roster, pass, passSpeed, retake, counting, curves},
            options.report)) {
        return code;
    }

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        Print(stderr, HelpText(all));
        return kUsage;
    }
    options.folder = args.front();
    options.csv = parser.value(csv);
    options.source = parser.value(source);
    options.json = parser.isSet(json);
    options.watch = parser.isSet(watch);
    if (options.watch && (!options.html.isEmpty() || !options.xlsx.isEmpty())) {
        Error(QStringLiteral("--html 和 --xlsx 不能与 --watch 同用"));
        return kUsage;
    }
    if (!QFileInfo(options.folder).isDir()) {
        Error(QStringLiteral("找不到文件夹 %1").arg(options.folder));
        return kFailed;
    }
    if (!options.source.isEmpty()) {
        const BoundedRead read = ReadBounded(options.source, kSourceCap, true);
        if (!read.ok) {
            Error(QStringLiteral("无法读取原文 %1：%2").arg(options.source, read.reason));
            return kFailed;
        }
    }
    if (options.watch) {
        bool ok = false;
        options.interval = parser.value(interval).toInt(&ok);
        if (!ok || options.interval < 1) {
            Error(QStringLiteral("--interval 要一个正整数"));
            return kUsage;
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
