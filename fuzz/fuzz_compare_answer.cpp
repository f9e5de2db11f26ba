// Random sequences of answer texts against a random source. After every change
// that runs to its end the counts must stay sound.
#include "exam/CompareAnswer.h"
#include "exam/Errors.h"
#include "exam/SourceCount.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

namespace {

using namespace qarvel::exam;

class FuzzView : public ExamView {
public:
    void SetClockEnabled(bool) override {}
    void MarkSource(int offset, Mark) override {
        if (offset < 0 || offset >= sourceLength) {
            std::abort(); // the engine only marks inside the source
        }
    }
    void SetLabelText(Label l, const std::string& t) override { labels[l] = t; }
    [[nodiscard]] std::string LabelText(Label l) const override {
        const auto it = labels.find(l);
        return it == labels.end() ? std::string() : it->second;
    }
    void DisableAnswer() override { disabled = true; }
    [[nodiscard]] bool AnswerDisabled() const override { return disabled; }
    void SetAnswerReadOnly(bool) override {}
    std::map<Label, std::string> labels;
    int sourceLength = 0;
    bool disabled = false;
};

} // namespace

// Input: source bytes up to the first 0xFF 0x00 pair, then a list of edits:
// [op][len][bytes...]: op even appends `len` bytes, odd removes `len` bytes from the end,
// op 3 mod 4 replaces the answer's byte at len % size.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find(std::string("\xff\x00", 2));
    if (split == std::string::npos) {
        split = input.size() / 2;
    }
    const std::string source = input.substr(0, split);
    std::size_t pos = split + 2 <= input.size() ? split + 2 : input.size();

    ExamState state;
    FuzzView view;
    const SourceCounts counts = CountSource(state, source);
    view.sourceLength = state.SourceLength;
    view.SetLabelText(Label::Label6, std::to_string(counts.hanzi));

    std::string answer;
    while (pos + 2 <= input.size() && !view.disabled) {
        const auto op = static_cast<unsigned char>(input[pos]);
        const std::size_t len = static_cast<unsigned char>(input[pos + 1]) % 8;
        pos += 2;
        if (op % 4 == 3 && !answer.empty()) {
            answer[len % answer.size()] = static_cast<char>(op);
        } else if (op % 2 == 0) {
            const std::size_t take = std::min(len, input.size() - pos);
            answer += input.substr(pos, take);
            pos += take;
        } else {
            answer.resize(answer.size() - std::min(len, answer.size()));
        }
        try {
            CompareAnswer(state, view, answer);
        } catch (const ZeroDivideError&) {
            continue;
        } catch (const InvalidOpError&) {
            continue;
        }
        if (state.CorrectHanziCount < 0 || state.CorrectAsciiCount < 0) {
            std::abort();
        }
        if (state.CorrectHanziCount == 0 && state.CorrectAsciiCount != 0) {
            std::abort();
        }
        if (state.PreviousAnswerText != answer) {
            std::abort();
        }
    }
    return 0;
}
