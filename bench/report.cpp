// The class report for a room of 60 examinees of a 30-minute exam: the rows
// and their measures, the HTML page, the workbook.
//
// `report_bench --write-records DIR` writes the room's 60 records and their
// source (DIR/2.txt) instead, for timing the whole command:
//   qarvel-results --source DIR/2.txt --html r.html --xlsx r.xlsx DIR
#include "results/AtomicFile.h"
#include "results/ClassReport.h"
#include "results/XlsxReport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace qarvel::results;
using qarvel::exam::ExamEvent;
using qarvel::exam::ExamLog;

constexpr int kExaminees = 60;
constexpr std::int64_t kExamMs = 30 * 60 * 1000;

// A source of common characters (GBK), long enough for 30 minutes at 150 a minute.
std::string MakeSource() {
    std::string source;
    for (int i = 0; i < 4500; ++i) {
        // GB2312 level one: rows 0xB0-0xD7, cells 0xA1-0xFE.
        source += char(0xB0 + i * 7 % 40);
        source += char(0xA1 + i * 13 % 94);
        if (i % 40 == 39) {
            source += "\r\n";
        }
    }
    return source;
}

// One examinee: 40 to 140 characters a minute, one in 30 wrong and taken back,
// one in 8 changes a phrase of two to four characters, a two-minute pause.
ExamLog MakeLog(const std::string& source, std::mt19937& random, int& correct) {
    ExamLog log;
    const double perMinute = 40.0 + static_cast<double>(random() % 100);
    const auto gap = [&] {
        return std::int64_t(60000.0 / perMinute *
                            (0.5 + static_cast<double>(random() % 100) / 100.0));
    };
    std::int64_t ms = 3000 + static_cast<std::int64_t>(random() % 5000);
    std::size_t at = 0;
    bool paused = false;
    while (ms < kExamMs && at + 2 <= source.size()) {
        if (!paused && ms > kExamMs / 2) {
            log.events.push_back({ms, ExamEvent::Kind::Pause, {}, 0});
            ms += 120000;
            log.events.push_back({ms, ExamEvent::Kind::Continue, {}, 0});
            paused = true;
        }
        if (random() % 30 == 0) {
            log.events.push_back({ms, ExamEvent::Kind::Append, "\xB0\xA1", 0});
            ms += gap();
            log.events.push_back({ms, ExamEvent::Kind::Remove, {}, 2});
            ms += gap();
        }
        const std::size_t phrase = random() % 8 == 0 ? 2 + random() % 3 : 1;
        for (std::size_t k = 0; k < phrase && at < source.size(); ++k) {
            const std::size_t size = static_cast<unsigned char>(source[at]) >= 0x81 ? 2 : 1;
            log.events.push_back({ms, ExamEvent::Kind::Append, source.substr(at, size), 0});
            correct += size == 2 || source[at] > ' ' ? 1 : 0;
            at += size;
        }
        ms += gap() * std::int64_t(phrase);
    }
    log.keyPresses = std::int64_t(log.events.size()) * 4;
    return log;
}

struct Room {
    std::string source = MakeSource();
    std::vector<Row> rows;
    std::vector<ExamLog> logs;
    Room() {
        std::mt19937 random(60);
        const QDateTime start(QDate(2026, 12, 7), QTime(9, 0));
        for (int i = 0; i < kExaminees; ++i) {
            int correct = 0;
            logs.push_back(MakeLog(source, random, correct));
            Row row;
            Record& r = row.record;
            r.log = logs.back();
            r.hasLog = true;
            r.loggedAt = kExamMs + 60000;
            r.number = QStringLiteral("2026%1").arg(i + 1, 3, 10, QLatin1Char('0'));
            r.name = QStringLiteral("考生%1").arg(i + 1);
            r.state = QString::fromLatin1(kTimeUp);
            r.elapsed = QStringLiteral("00:30:00");
            r.correctHanzi = correct;
            r.score = correct * 100 / 4500;
            r.start = start;
            r.updated = start.addSecs(32 * 60);
            r.duration = QStringLiteral("00:30:00");
            r.remaining = QStringLiteral("00:00:00");
            r.sourceTotal = r.sourceHanzi = 4500;
            r.host = QStringLiteral("lab-%1").arg(i + 1, 2, 10, QLatin1Char('0'));
            r.program = ProgramVersion();
            row.measures = Measure(r.log, {correct, false, 1800});
            rows.push_back(row);
        }
    }
    [[nodiscard]] ClassReport Report() const {
        const std::vector<std::shared_ptr<const std::string>> sources(
            rows.size(), std::make_shared<const std::string>(source));
        ReportOptions options;
        options.sourceName = QStringLiteral("2.txt");
        return MakeClassReport(rows, sources, options, QDateTime::currentDateTime());
    }
};

const Room& TheRoom() {
    static const Room room;
    return room;
}

void BM_Measures(benchmark::State& state) {
    const Room& room = TheRoom();
    for (auto _ : state) {
        benchmark::DoNotOptimize(room.Report());
    }
}
BENCHMARK(BM_Measures)->Unit(benchmark::kMillisecond);

void BM_Html(benchmark::State& state) {
    const ClassReport report = TheRoom().Report();
    QByteArray html;
    for (auto _ : state) {
        html = ReportHtml(report);
        benchmark::DoNotOptimize(html);
    }
    state.counters["bytes"] = double(html.size());
}
BENCHMARK(BM_Html)->Unit(benchmark::kMillisecond);

void BM_Xlsx(benchmark::State& state) {
    const ClassReport report = TheRoom().Report();
    QTemporaryDir dir;
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteXlsx(dir.filePath(QStringLiteral("成绩.xlsx")), report));
    }
}
BENCHMARK(BM_Xlsx)->Unit(benchmark::kMillisecond);

// The room's records and source, into `folder`.
int WriteRecords(const QString& folder) {
    const Room& room = TheRoom();
    QDir().mkpath(folder);
    QFile source(QDir(folder).filePath(QStringLiteral("2.txt")));
    if (!source.open(QIODevice::WriteOnly) ||
        source.write(room.source.data(), qint64(room.source.size())) !=
            qint64(room.source.size())) {
        return 1;
    }
    source.close();
    const QString sha = QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(room.source), QCryptographicHash::Sha256)
            .toHex());
    for (const Row& row : room.rows) {
        Record r = row.record;
        r.sourcePath = source.fileName();
        r.sourceSha256 = sha;
        const WriteOutcome outcome =
            WriteFileAtomically(folder, RecordFileName(r), ToJson(r), 0644);
        if (!outcome.ok) {
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--write-records") {
        return WriteRecords(QString::fromLocal8Bit(argv[2]));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
