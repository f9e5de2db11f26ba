// The class report for a room of 60 examinees of a 30-minute exam: the rows
// and their measures, the HTML page, the workbook.
#include "results/ClassReport.h"
#include "results/XlsxReport.h"

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
    const double perMinute = 40 + random() % 100;
    const auto gap = [&] { return std::int64_t(60000.0 / perMinute * (0.5 + (random() % 100) / 100.0)); };
    std::int64_t ms = 3000 + random() % 5000;
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
            r.number = QStringLiteral("2026%1").arg(i + 1, 3, 10, QLatin1Char('0'));
            r.name = QStringLiteral("考生%1").arg(i + 1);
            r.state = QString::fromLatin1(kTimeUp);
            r.elapsed = QStringLiteral("00:30:00");
            r.correctHanzi = correct;
            r.score = correct * 100 / 4500;
            r.start = start;
            r.updated = start.addSecs(32 * 60);
            rows.push_back(row);
        }
    }
    [[nodiscard]] ClassReport Report() const {
        std::vector<const ExamLog*> pointers;
        for (const ExamLog& log : logs) {
            pointers.push_back(&log);
        }
        return MakeClassReport(rows, pointers, KnownSource{QStringLiteral("2.txt"), source},
                               QDateTime::currentDateTime());
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

} // namespace

BENCHMARK_MAIN();
