#pragma once

#include "EventLog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qarvel::exam {

// The events of an exam as one compact UTF-8 text, for a record. Each event is
// the milliseconds since the one before it (since the login for the first),
// a sign, and what it carries:
//   "+" one character added           "350+你"
//   "*" n characters added: n ":" text "12*2:\r\n"
//   "x" n bytes added, in hex (GBK that is not text): "8x2:a1ff"
//   "-" n bytes removed, then "."      "800-2."
//   "p" pause, "c" continue            "3000p" "9000c"
// A 30-minute exam at 100 characters a minute takes some 25 kB.
std::string EncodeEvents(const std::vector<ExamEvent>& events);
// The events back; nothing when the text is not such a list (times must not
// go back, counts must be sensible), or when it holds more than `most` events
// (then `tooMany`, when given, is set).
std::optional<std::vector<ExamEvent>>
DecodeEvents(std::string_view text, std::int64_t most = INT64_MAX, bool* tooMany = nullptr);

} // namespace qarvel::exam
