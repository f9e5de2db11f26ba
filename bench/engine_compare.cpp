// Time of one change of the answer at the end of a long answer.
#include "exam/CompareAnswer.h"
#include "exam/ExamState.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace qarvel::exam;

// A view that does nothing, so only the engine is timed.
class NullView : public ExamView {
public:
    void SetClockEnabled(bool) override {}
    void MarkSource(int, Mark) override {}
    void SetFieldText(Field, const std::string&) override {}
    void DisableAnswer() override {}
    void SetAnswerReadOnly(bool) override {}
};

// `chars` Chinese characters with a line break every 40.
std::string MakeSource(int chars) {
    const std::string piece = Utf8ToGbk("春眠不觉晓处处闻啼鸟夜来风雨声花落知多少");
    std::string s;
    for (int i = 0; i < chars; ++i) {
        const auto k = static_cast<std::size_t>(i % 20) * 2;
        s += piece.substr(k, 2);
        if (i % 40 == 39) {
            s += "\r\n";
        }
    }
    return s;
}

// Every prefix typed one character at a time; reports the time per change at
// the given answer length (the answer holds state.range(0) characters).
void BM_CompareAnswerAtLength(benchmark::State& st) {
    const int chars = static_cast<int>(st.range(0));
    const std::string source = MakeSource(chars + 2);
    ExamState state;
    NullView view;
    CountSource(state, source);
    // Type up to the measured point, one character (or line break) at a time:
    // every piece of this source is two bytes.
    std::string answer;
    answer.reserve(source.size());
    const auto target = static_cast<std::size_t>(chars) * 2;
    while (answer.size() < target) {
        answer.append(source, answer.size(), 2);
        CompareAnswer(state, view, answer);
    }
    const std::size_t pos = answer.size();
    // Then alternately type and delete the next character at that length.
    const std::string shorter = answer;
    std::string longer = answer + source.substr(pos, 2);
    bool grow = true;
    for (auto _ : st) {
        CompareAnswer(state, view, grow ? longer : shorter);
        grow = !grow;
    }
    st.SetLabel(std::to_string(answer.size()) + " bytes");
}
BENCHMARK(BM_CompareAnswerAtLength)->Arg(100)->Arg(1000)->Arg(5000)->Arg(10000)->Arg(20000);

// The yardstick: comparing two answers of the same length byte by byte.
void BM_MemcmpBaseline(benchmark::State& st) {
    const auto bytes = static_cast<std::size_t>(st.range(0)) * 2;
    const std::string a = MakeSource(static_cast<int>(st.range(0))).substr(0, bytes);
    std::string b = a;
    b.back() = 'x';
    for (auto _ : st) {
        benchmark::DoNotOptimize(a.compare(b));
    }
}
BENCHMARK(BM_MemcmpBaseline)->Arg(100)->Arg(1000)->Arg(5000)->Arg(10000)->Arg(20000);

// A whole exam of n characters typed one by one: time per change.
void BM_TypeWholeSource(benchmark::State& st) {
    const int chars = static_cast<int>(st.range(0));
    const std::string source = MakeSource(chars);
    for (auto _ : st) {
        ExamState state;
        NullView view;
        CountSource(state, source);
        std::string answer;
        answer.reserve(source.size());
        for (std::size_t i = 0; i < source.size(); i += 2) {
            answer.append(source, i, 2);
            CompareAnswer(state, view, answer);
        }
    }
    st.SetItemsProcessed(st.iterations() * chars);
}
BENCHMARK(BM_TypeWholeSource)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
