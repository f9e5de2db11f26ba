#pragma once

#include "ExamState.h"

#include <cstdint>
#include <string>

namespace qarvel::exam {

struct SourceCounts {
    std::int32_t ascii = 0; // single-byte characters
    std::int32_t hanzi = 0; // Chinese characters
    std::int32_t total = 0; // both
};

// Takes the source view's text into the state, zeroes the correct counts and counts it.
SourceCounts CountSource(ExamState& state, std::string viewText);

} // namespace qarvel::exam
