#pragma once

#include <cstdint>
#include <string>

namespace qarvel::exam {

// The one record of the exam, owned by the exam window for the life of the process.
// Texts are GBK byte strings; counts are 32-bit signed, as they are shown.
struct ExamState {
    std::string SourceText;
    std::int32_t SourceLength = 0;
    std::int32_t SourceAsciiCount = 0;
    std::int32_t SourceHighByteCount = 0;

    std::string AnswerText;
    std::int32_t AnswerLength = 0;
    std::string PreviousAnswerText;

    std::int32_t CorrectAsciiCount = 0;
    std::int32_t CorrectHanziCount = 0;
    std::int32_t TotalCorrect = 0;
    std::int32_t TotalSourceChars = 0;
};

} // namespace qarvel::exam
