// Loads the exam's source text from the working directory and prints its counts
// and its first lines, as the exam window will show them.
#include "exam/Errors.h"
#include "exam/ExamState.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"
#include "exam/SourceFile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace qarvel::exam;
    const std::string path = argc > 1 ? argv[1] : kSourcePath;
    ExamState state;
    SourceCounts counts;
    try {
        counts = CountSource(state, LoadSourceFile(path));
    } catch (const ExamError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("总字数：%d  其中字符数：%d  汉字数：%d\n", counts.total, counts.ascii,
                counts.hanzi);
    std::printf("(%d bytes)\n\n", state.SourceLength);

    // The first lines of the text, converted for the terminal.
    const std::string& text = state.SourceText;
    std::size_t pos = 0;
    for (int line = 0; line < 5 && pos < text.size(); ++line) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::printf("%s\n", GbkToUtf8(std::string_view(text).substr(pos, end - pos)).c_str());
        pos = end + 2;
    }
    return 0;
}
