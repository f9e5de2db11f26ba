#include "SourceCount.h"

#include "Gbk.h"

#include <utility>

namespace qarvel::exam {

SourceCounts CountSource(ExamState& state, std::string viewText) {
    state.SourceText = std::move(viewText);
    state.SourceAsciiCount = 0;
    state.SourceHighByteCount = 0;
    state.CorrectAsciiCount = 0;
    state.CorrectHanziCount = 0;
    state.SourceLength = static_cast<std::int32_t>(state.SourceText.size());

    // Each byte by its value alone: double-byte characters are not decoded.
    std::int32_t ascii = 0;
    std::int32_t high = 0;
    for (const char c : state.SourceText) {
        const auto b = static_cast<unsigned char>(c);
        ascii += IsSingleByteChar(b) ? 1 : 0;
        high += IsHighByte(b) ? 1 : 0;
    }
    state.SourceAsciiCount = ascii;
    state.SourceHighByteCount = high;

    SourceCounts counts;
    counts.ascii = ascii;
    counts.hanzi = high / 2;
    counts.total = high / 2 + ascii;
    return counts;
}

} // namespace qarvel::exam
