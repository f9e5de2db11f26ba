#pragma once

#include "ExamState.h"

#include <cstdint>
#include <string>

namespace qarvel::exam {

struct SourceCounts {
    std::int32_t ascii = 0;  // Label4
    std::int32_t hanzi = 0;  // Label6
    std::int32_t total = 0;  // Label2
};

// Takes the source view's text into the state, zeroes the correct counts and counts it.
SourceCounts CountSource(ExamState& state, std::string viewText);

} // namespace qarvel::exam
