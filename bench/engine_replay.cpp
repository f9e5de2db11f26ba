// Replay of a record whose log is a big append followed by many small edits:
// the time must grow with the log, not with the log times the answer.
#include "exam/ExamReplay.h"
#include "exam/Gbk.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace qarvel::exam;

// `bytes` bytes of Chinese text, without line breaks.
std::string Chinese(std::size_t bytes) {
    const std::string piece = Utf8ToGbk("春眠不觉晓处处闻啼鸟夜来风雨声花落知多少");
    std::string s;
    while (s.size() < bytes) {
        s += piece;
    }
    s.resize(bytes & ~std::size_t{1});
    return s;
}

// Half the log's bytes appended at once, then one character taken away and
// typed again, over and over, one event each.
ExamLog BigAppendThenEdits(const std::string& text, std::size_t edits) {
    ExamLog log;
    log.events.push_back({1000, ExamEvent::Kind::Append, text, 0});
    const std::string last = text.substr(text.size() - 2);
    for (std::size_t i = 0; i < edits; ++i) {
        const auto ms = static_cast<std::int64_t>(2000 + i);
        log.events.push_back({ms, ExamEvent::Kind::Remove, {}, 2});
        log.events.push_back({ms, ExamEvent::Kind::Append, last, 0});
    }
    return log;
}

void BM_ReplayBigAppendThenEdits(benchmark::State& st) {
    const auto bytes = static_cast<std::size_t>(st.range(0));
    const std::string text = Chinese(bytes / 2);
    // About 8 bytes of record per small edit.
    const ExamLog log = BigAppendThenEdits(text, bytes / 2 / 16);
    for (auto _ : st) {
        benchmark::DoNotOptimize(ReplayExam(text, "00:30:00", log, 60'000));
    }
    st.SetLabel(std::to_string(log.events.size()) + " events");
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                         static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ReplayBigAppendThenEdits)
    ->Arg(25'000)
    ->Arg(100'000)
    ->Arg(400'000)
    ->Arg(1'600'000)
    ->Unit(benchmark::kMillisecond);

} // namespace
