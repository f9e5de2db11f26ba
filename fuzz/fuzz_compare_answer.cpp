// Random sequences of answer texts against a random source. After every change
// that runs to its end the counts must stay sound.
#include "exam/CompareAnswer.h"
#include "exam/Errors.h"
#include "exam/SourceCount.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

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
    void SetFieldText(Field l, const std::string& t) override { fields[l] = t; }
    void DisableAnswer() override { disabled = true; }
    void SetAnswerReadOnly(bool) override {}
    std::map<Field, std::string> fields;
    int sourceLength = 0;
    bool disabled = false;
};

bool IsLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// The characters standing correctly in the answer, grouped as the source view
// groups them: a double-byte one only when both bytes match, counted as Chinese
// when its second byte is 127 or above; and whether the source's Chinese
// characters (two bytes, the second 127 or above) all stand in place.
struct InPlace {
    int ascii = 0;
    int hanzi = 0;
    bool sourceChinese = false; // the source has a Chinese character
    bool allChinese = true;     // every one of them stands in place
};
InPlace CountInPlace(const std::string& answer, const std::string& source) {
    InPlace in;
    const auto match = [&](std::size_t k, std::size_t n) {
        return k + n <= answer.size() && k + n <= source.size() &&
               answer.compare(k, n, source, k, n) == 0;
    };
    for (std::size_t k = 0; k < answer.size();) {
        const std::size_t n =
            IsLead(static_cast<unsigned char>(answer[k])) && k + 1 < answer.size() ? 2 : 1;
        const auto last = static_cast<unsigned char>(answer[k + n - 1]);
        if (match(k, n)) {
            (last >= 127 ? in.hanzi : in.ascii) += last >= 33 ? 1 : 0;
        }
        k += n;
    }
    for (std::size_t k = 0; k < source.size();) {
        const std::size_t n =
            IsLead(static_cast<unsigned char>(source[k])) && k + 1 < source.size() ? 2 : 1;
        if (n == 2 && static_cast<unsigned char>(source[k + 1]) >= 127) {
            in.sourceChinese = true;
            in.allChinese = in.allChinese && match(k, n);
        }
        k += n;
    }
    return in;
}

// The sizes of `bytes` as whole characters (a lead byte at the end is dropped).
std::vector<std::size_t> Characters(const std::string& bytes) {
    std::vector<std::size_t> sizes;
    for (std::size_t k = 0; k < bytes.size();) {
        const bool lead = IsLead(static_cast<unsigned char>(bytes[k]));
        if (lead && k + 1 >= bytes.size()) {
            break;
        }
        sizes.push_back(lead ? 2 : 1);
        k += sizes.back();
    }
    return sizes;
}

} // namespace

// Input: source bytes up to the first 0xFF 0x00 pair, then a mode byte and a list
// of edits [op][len][bytes...].
// Even mode, as the answer box changes the answer: op even appends the whole
// characters of `len` bytes, odd removes `len` characters from the end; then
// the counts never exceed the characters in place, the score stays within
// 0..100 and the exam completes only with every Chinese character in place.
// Odd mode, any edit: op even appends `len` bytes, odd removes `len` bytes from
// the end, op 3 mod 4 replaces the answer's byte at len % size.
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
    CountSource(state, source);
    view.sourceLength = state.SourceLength;

    const bool atTheEnd = pos < input.size() && input[pos++] % 2 == 0;
    std::string answer;
    std::vector<std::size_t> characters; // of the answer, in the even mode
    while (pos + 2 <= input.size() && !view.disabled) {
        const auto op = static_cast<unsigned char>(input[pos]);
        const std::size_t len = static_cast<unsigned char>(input[pos + 1]) % 8;
        pos += 2;
        if (atTheEnd) {
            if (op % 2 == 0) {
                const std::string bytes = input.substr(pos, std::min(len, input.size() - pos));
                pos += bytes.size();
                std::size_t used = 0;
                for (const std::size_t n : Characters(bytes)) {
                    characters.push_back(n);
                    used += n;
                }
                answer += bytes.substr(0, used);
            } else {
                for (std::size_t i = 0; i < len && !characters.empty(); ++i) {
                    answer.resize(answer.size() - characters.back());
                    characters.pop_back();
                }
            }
        } else if (op % 4 == 3 && !answer.empty()) {
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
        if (state.AnswerText != answer || !state.PreviousIsAnswer) {
            std::abort();
        }
        if (view.fields[Field::Score] != std::to_string(state.Score) ||
            view.disabled != state.AnswerDisabled) {
            std::abort(); // the window shows what the state holds
        }
        if (atTheEnd) {
            const InPlace in = CountInPlace(answer, source);
            if (state.CorrectAsciiCount > in.ascii || state.CorrectHanziCount > in.hanzi) {
                std::abort(); // counted more than stands correctly in the answer
            }
            const std::string score = view.fields[Field::Score];
            if (!score.empty() && (std::stoll(score) < 0 || std::stoll(score) > 100)) {
                std::abort();
            }
            if (view.disabled && in.sourceChinese && !in.allChinese) {
                std::abort(); // complete with Chinese characters missing
            }
        }
    }
    return 0;
}
