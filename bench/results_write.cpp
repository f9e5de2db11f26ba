// Writing one results record atomically (temporary file, fsync, rename) into
// a folder: /dev/shm (tmpfs) by default, or the folder in QARVEL_BENCH_FOLDER
// (a disk, a network share). Records of a short answer and of a 20,000-character one.
#include "results/AtomicFile.h"
#include "results/Record.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace qarvel::results;

void BM_WriteRecord(benchmark::State& state) {
    const QString base = qEnvironmentVariableIsEmpty("QARVEL_BENCH_FOLDER")
                             ? QStringLiteral("/dev/shm")
                             : qEnvironmentVariable("QARVEL_BENCH_FOLDER");
    QTemporaryDir dir(base + QStringLiteral("/qarvel-bench-XXXXXX"));
    Record record;
    record.number = QStringLiteral("20240917");
    record.name = QStringLiteral("李雷");
    record.start = record.updated = NowWithOffset();
    record.answer = QString(int(state.range(0)), QChar(u'汉'));
    const QByteArray bytes = ToJson(record);
    const QString name = RecordFileName(record);
    for (auto _ : state) {
        if (!WriteFileAtomically(dir.path(), name, bytes).ok) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.counters["record_bytes"] = double(bytes.size());
}

} // namespace

BENCHMARK(BM_WriteRecord)->Arg(0)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
