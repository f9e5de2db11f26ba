// Event logs read from records: any text either is refused or reads as events
// that write back to a text reading as the same events; and any events replay
// through the engine without a failure, their answer as the log builds it.
#include "exam/ExamLogText.h"
#include "exam/ExamRecorder.h"
#include "exam/ExamReplay.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// 春眠不觉晓 and a line of ASCII: Chinese, single-byte characters and a line break.
const std::string kSource = "\xB4\xBA\xC3\xDF\xB2\xBB\xBE\xF5\xCF\xFE\r\nabc 1";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto events = qarvel::exam::DecodeEvents(text);
    if (!events) {
        return 0;
    }
    const std::string written = qarvel::exam::EncodeEvents(*events);
    const auto back = qarvel::exam::DecodeEvents(written);
    Check(back.has_value() && *back == *events);

    qarvel::exam::ExamLog log{*events, 0};
    const std::int64_t at = events->empty() ? 0 : events->back().ms + 500;
    const qarvel::exam::ReplayResult replay =
        qarvel::exam::ReplayExam(kSource, "00:00:05", log, at);
    Check(replay.answer == qarvel::exam::AnswerOf(log));
    Check(replay.elapsedSeconds >= 0 && replay.elapsedSeconds <= 5);
    return 0;
}
