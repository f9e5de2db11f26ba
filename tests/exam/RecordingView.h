#pragma once

#include "exam/ExamView.h"

#include <map>
#include <string>
#include <vector>

namespace qarvel::exam::testing {

// An exam window made of plain values: it records the requests of the engine.
class RecordingView : public ExamView {
public:
    struct MarkRecord {
        int offset;
        Mark mark;
        bool operator==(const MarkRecord&) const = default;
    };

    void SetClockEnabled(bool on) override {
        clockOn = on;
        ++clockSwitches;
    }
    void MarkSource(int offset, Mark mark) override { marks.push_back({offset, mark}); }
    void SetFieldText(Field field, const std::string& text) override { fields[field] = text; }
    // What the engine last showed in `field`; empty before it first did.
    [[nodiscard]] std::string Shown(Field field) const {
        const auto it = fields.find(field);
        return it == fields.end() ? std::string() : it->second;
    }
    void DisableAnswer() override { disabled = true; }
    void SetAnswerReadOnly(bool ro) override { readOnly = ro; }

    // The colour and underline of each source offset, as the marks left them.
    [[nodiscard]] Mark ColourAt(int offset) const {
        Mark colour = Mark::Black;
        for (const auto& m : marks) {
            if (m.offset == offset &&
                (m.mark == Mark::Blue || m.mark == Mark::Red || m.mark == Mark::Black)) {
                colour = m.mark;
            }
        }
        return colour;
    }
    [[nodiscard]] bool UnderlinedAt(int offset) const {
        bool on = false;
        for (const auto& m : marks) {
            if (m.offset == offset &&
                (m.mark == Mark::UnderlineOn || m.mark == Mark::UnderlineOff)) {
                on = m.mark == Mark::UnderlineOn;
            }
        }
        return on;
    }

    bool clockOn = false;
    int clockSwitches = 0;
    bool disabled = false;
    bool readOnly = false;
    std::vector<MarkRecord> marks;
    std::map<Field, std::string> fields;
};

} // namespace qarvel::exam::testing
