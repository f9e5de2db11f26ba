// The record of a 30-minute exam typed at 100 characters a minute: its size,
// making its JSON (on the window's thread), writing it (tmpfs, or the folder
// in QARVEL_BENCH_FOLDER), and replaying and checking a room of 60 of them.
#include "exam/ExamRecorder.h"
#include "exam/ExamReplay.h"
#include "exam/Gbk.h"
#include "results/AtomicFile.h"
#include "results/Record.h"
#include "results/ResultsTable.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace qarvel;

const std::string& SourceText() {
    static const std::string text = [] {
        std::mt19937 random(5);
        std::string gbk;
        for (int i = 0; i < 3600; ++i) {
            gbk += char(0xB0 + random() % 0x27); // common characters, GB2312 level 1
            gbk += char(0xA1 + random() % 0x5E);
            if (i % 60 == 59) {
                gbk += "\r\n";
            }
        }
        return gbk;
    }();
    return text;
}

// 100 characters a minute for 30 minutes; one character in twenty wrong and taken back.
results::Record ThirtyMinutes() {
    std::int64_t now = 0;
    exam::ExamRecorder recorder([&] { return now; });
    recorder.Start();
    std::mt19937 random(9);
    const std::string& source = SourceText();
    std::string answer;
    now = 5000;
    while (now < 30 * 60 * 1000 + 5000 && answer.size() + 2 <= source.size()) {
        now += 400 + static_cast<std::int64_t>(random() % 400);
        const std::size_t width =
            exam::IsLeadByte(static_cast<unsigned char>(source[answer.size()])) ? 2 : 1;
        if (random() % 20 == 0) {
            recorder.Change(answer + "\xB4\xED"); // 错
            now += 300;
        }
        answer += source.substr(answer.size(), width);
        recorder.Change(answer);
    }
    results::Record r;
    r.number = QStringLiteral("20240917");
    r.name = QStringLiteral("李雷");
    r.duration = QStringLiteral("00:30:00");
    r.start = r.updated = results::NowWithOffset();
    r.hasLog = true;
    r.log = recorder.log();
    r.log.keyPresses = 9000;
    r.loggedAt = now;
    const exam::ReplayResult replay = exam::ReplayExam(source, "00:30:00", r.log, now);
    r.answer = QString::fromStdString(exam::GbkToUtf8(replay.answer));
    r.correctHanzi = replay.correctHanzi;
    r.score = int(replay.score);
    r.changes = replay.changes;
    return r;
}

void BM_RecordJson(benchmark::State& state) {
    const results::Record record = ThirtyMinutes();
    QByteArray bytes;
    for (auto _ : state) {
        bytes = results::ToJson(record);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["record_bytes"] = double(bytes.size());
    state.counters["events"] = double(record.log.events.size());
}

void BM_RecordWrite(benchmark::State& state) {
    const QString base = qEnvironmentVariableIsEmpty("QARVEL_BENCH_FOLDER")
                             ? QStringLiteral("/dev/shm")
                             : qEnvironmentVariable("QARVEL_BENCH_FOLDER");
    QTemporaryDir dir(base + QStringLiteral("/qarvel-bench-XXXXXX"));
    const QByteArray bytes = results::ToJson(ThirtyMinutes());
    for (auto _ : state) {
        if (!results::WriteFileAtomically(dir.path(), QStringLiteral("r.json"), bytes).ok) {
            state.SkipWithError("write failed");
            break;
        }
    }
}

void BM_CheckRoomOf60(benchmark::State& state) {
    const results::Record record = ThirtyMinutes();
    results::FolderRecords folder;
    for (int i = 0; i < 60; ++i) {
        folder.records.push_back(record);
        folder.records.back().number = QString::number(i);
    }
    for (auto _ : state) {
        std::vector<results::Row> rows = results::MergeRecords(folder, record.updated);
        for (results::Row& row : rows) {
            row.check = results::CheckRecord(row.record, SourceText());
        }
        benchmark::DoNotOptimize(rows);
    }
}

} // namespace

BENCHMARK(BM_RecordJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckRoomOf60)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
