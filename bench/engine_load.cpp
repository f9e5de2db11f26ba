// Loading and counting a large GBK source text from disk.
#include "exam/ExamState.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"
#include "exam/SourceFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace qarvel::exam;

// A temp folder holding a GBK text of about `bytes` bytes, with a mix of line breaks.
class LargeSource {
public:
    explicit LargeSource(std::size_t bytes) {
        std::string pattern = (fs::temp_directory_path() / "qarvel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        dir_ = pattern;
        path_ = (dir_ / "2.txt").string();
        const std::string line =
            Utf8ToGbk("秋天的校园里，银杏叶一片片落下来；同学们在计算机教室练习打字，"
                      "屏幕上是Linux系统和2026年的新课文：“眼到、心到、手到！”");
        const std::string breaks[] = {"\r\n", "\n", "\r\n", "\r"};
        std::string text;
        text.reserve(bytes + line.size() + 2);
        for (std::size_t i = 0; text.size() < bytes; ++i) {
            text += line;
            text += breaks[i % 4];
        }
        std::ofstream(path_, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
        size_ = text.size();
    }
    LargeSource(const LargeSource&) = delete;
    LargeSource& operator=(const LargeSource&) = delete;
    ~LargeSource() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const std::string& Path() const { return path_; }
    std::size_t Size() const { return size_; }

private:
    fs::path dir_;
    std::string path_;
    std::size_t size_ = 0;
};

void BM_LoadAndCountGbk10MB(benchmark::State& state) {
    const LargeSource source(10u << 20);
    for (auto _ : state) {
        ExamState exam;
        const SourceCounts counts = CountSource(exam, LoadSourceFile(source.Path()));
        benchmark::DoNotOptimize(counts);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(source.Size()));
}
BENCHMARK(BM_LoadAndCountGbk10MB)->Unit(benchmark::kMillisecond);

} // namespace
