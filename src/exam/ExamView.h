#pragma once

#include <string>

namespace qarvel::exam {

// The labels of the exam window that the engine writes or reads back.
enum class Label { Label2, Label4, Label6, Label8, Label10, Label12, Label14, Label21 };

// One change of one attribute of one source character.
enum class Mark { Blue, Red, Black, UnderlineOn, UnderlineOff };

// What the engine asks of the exam window. The window implements it with widgets,
// tests with a recorder. Label texts are GBK byte strings.
class ExamView {
public:
    virtual ~ExamView() = default;

    // Switching on while on keeps the rhythm; off while off does nothing.
    // May throw TimerError.
    virtual void SetClockEnabled(bool on) = 0;

    // Marks the source character that byte offset `offset` of the source text
    // addresses. Offsets outside the source have no effect.
    virtual void MarkSource(int offset, Mark mark) = 0;

    virtual void SetLabelText(Label label, const std::string& text) = 0;
    [[nodiscard]] virtual std::string LabelText(Label label) const = 0;

    // Answer box: disabled when the exam is complete; read-only when paused or time is up.
    virtual void DisableAnswer() = 0;
    [[nodiscard]] virtual bool AnswerDisabled() const = 0;
    virtual void SetAnswerReadOnly(bool readOnly) = 0;
};

} // namespace qarvel::exam
