#pragma once

#include <string>

namespace qarvel::exam {

// What the exam window shows of the exam, each in a field of its own: the
// source's counts, the correct counts and the score, and the two clocks.
enum class Field {
    SourceTotal,   // the source's characters: Chinese and single-byte
    SourceAscii,   // the source's single-byte characters
    SourceHanzi,   // the source's Chinese characters
    CorrectAscii,  // single-byte characters typed right
    CorrectHanzi,  // Chinese characters typed right
    Score,         // the score in percent
    RemainingTime, // the time left, counted down
    ElapsedTime,   // the time taken, counted up
};
inline constexpr int kFieldCount = 8;

// One change of one attribute of one source character.
enum class Mark { Blue, Red, Black, UnderlineOn, UnderlineOff };

// What the engine asks of the exam window. The window implements it with widgets,
// tests with a recorder. Field texts are GBK byte strings.
class ExamView {
public:
    virtual ~ExamView() = default;

    // Switching on while on keeps the rhythm; off while off does nothing.
    // May throw TimerError.
    virtual void SetClockEnabled(bool on) = 0;

    // Marks the source character that byte offset `offset` of the source text
    // addresses. Offsets outside the source have no effect.
    virtual void MarkSource(int offset, Mark mark) = 0;

    // Shows `text` in `field`. The engine keeps what it shows in the exam's
    // state and never reads it back.
    virtual void SetFieldText(Field field, const std::string& text) = 0;

    // Answer box: disabled when the exam is complete; read-only when paused or time is up.
    virtual void DisableAnswer() = 0;
    virtual void SetAnswerReadOnly(bool readOnly) = 0;
};

} // namespace qarvel::exam
