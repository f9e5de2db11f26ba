#include "CompareAnswer.h"

#include "Errors.h"
#include "Gbk.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace qarvel::exam {
namespace {

// Byte k of a text, or -1 when k lies outside it: a missing byte matches nothing.
int At(std::string_view s, std::int64_t k) {
    if (k < 0 || k >= static_cast<std::int64_t>(s.size())) {
        return -1;
    }
    return ByteAt(s, k);
}

// Appends to `pairs` the bytes of `text`, which follow the bytes it has.
void AddPairs(std::vector<bool>& pairs, std::string_view text) {
    bool odd = !pairs.empty() && pairs.back();
    for (const char c : text) {
        odd = IsLeadByte(static_cast<unsigned char>(c)) && !odd;
        pairs.push_back(odd);
    }
}

// Whether the byte at k of a text of `size` bytes is the second byte of a
// double-byte character: in a run of lead-range bytes ending right before it,
// characters pair up from the run's start, so an odd run leaves its last byte
// waiting for this one.
bool EndsDoubleByte(const std::vector<bool>& pairs, std::int64_t size, std::int64_t k) {
    return k >= 1 && k < size && pairs[static_cast<std::size_t>(k - 1)];
}

std::string Decimal(std::int64_t v) {
    return std::to_string(v);
}

class Change {
public:
    Change(ExamState& state, ExamView& view) : s_(state), v_(view) {}

    void Run(AnswerChange change) {
        // 1. Every change switches the clock on.
        v_.SetClockEnabled(true);

        // 2. Store the answer: the removed bytes go, the added ones come. What
        //    the previous answer had past the bytes kept is kept aside.
        if (s_.SourcePairs.size() != s_.SourceText.size()) {
            s_.SourcePairs.clear();
            AddPairs(s_.SourcePairs, s_.SourceText);
        }
        std::string& answer = s_.AnswerText;
        std::string added(change.added);
        const std::size_t removed = std::min(change.removed, answer.size());
        keep_ = static_cast<std::int64_t>(answer.size() - removed);
        const std::string removedTail = answer.substr(static_cast<std::size_t>(keep_));
        answer.resize(static_cast<std::size_t>(keep_));
        answer += added;
        s_.AnswerPairs.resize(static_cast<std::size_t>(keep_));
        AddPairs(s_.AnswerPairs, added);
        s_.AnswerLength = static_cast<std::int32_t>(answer.size());
        // The previous answer past the kept bytes, and where that part begins.
        if (s_.PreviousIsAnswer) {
            prevTail_ = removedTail;
            prevStart_ = keep_;
        } else {
            prevTail_ = s_.PreviousAnswerText;
            prevStart_ = 0;
        }
        prevSize_ = prevStart_ + static_cast<std::int64_t>(prevTail_.size());

        try {
            Judge(s_.PreviousIsAnswer ? std::string_view(removedTail).compare(added)
                                      : std::string_view(s_.PreviousAnswerText).compare(answer));
        } catch (...) {
            // The previous answer stays as it was for the next change.
            if (s_.PreviousIsAnswer) {
                s_.PreviousAnswerText =
                    answer.substr(0, static_cast<std::size_t>(keep_)) + removedTail;
                s_.PreviousIsAnswer = false;
            }
            throw;
        }

        // 7. Remember the answer for the next change.
        s_.PreviousIsAnswer = true;
        s_.PreviousAnswerText.clear();

        // 8. Resets, each on what the ones before it left.
        const std::int64_t n = s_.AnswerLength;
        if (n == 0) {
            Reset();
        }
        if (s_.CorrectHanziCount < 1) {
            Reset();
        }
        if (s_.CorrectHanziCount <= 1 && n > 0 && ByteAt(answer, n - 1) == 32) {
            Reset();
        }

        // 9. Completion.
        if (AllHanziTyped(s_)) {
            v_.SetClockEnabled(false);
            s_.AnswerDisabled = true;
            v_.DisableAnswer();
        }
    }

private:
    // Steps 3 to 6; `order` orders the previous answer against the new one.
    void Judge(int order) {
        const std::int64_t n = s_.AnswerLength;
        if (n == 0) {
            return;
        }
        const bool grew = order < 0;
        const bool shrank = order > 0;
        const unsigned char last = ByteAt(s_.AnswerText, n - 1);

        // 3. Underline move for a space or a single-byte character.
        if (last >= 32 && last <= 126) {
            MoveUnderline(n, n - 1);
        }

        // 4. Single-byte judgement.
        if (IsSingleByteChar(last) && grew) {
            if (CharacterMatches(n - 1)) {
                SetAscii(s_.CorrectAsciiCount + 1);
                Mark(n - 1, exam::Mark::Blue);
            } else {
                Mark(n - 1, exam::Mark::Red);
            }
        }

        // Whatever the new last byte, deleting takes back what the removed
        // characters had earned.
        if (shrank) {
            TakeBackRemoved(n);
        }

        // 5. Double-byte judgement.
        if (IsHighByte(last)) {
            if (grew) {
                const bool right = ChineseMatches(n - 1);
                if (right) {
                    ++s_.CorrectHanziCount;
                }
                Mark(n - 2, right ? exam::Mark::Blue : exam::Mark::Red);
                Mark(n - 2, exam::Mark::UnderlineOff);
                Mark(n, exam::Mark::UnderlineOn);
                if (right) {
                    ShowHanzi();
                }
                ClearAfter(n);
            } else if (shrank) {
                // Judge again the character that now ends the answer.
                const bool right = ChineseMatches(n - 1);
                Mark(n - 2, right ? exam::Mark::Blue : exam::Mark::Red);
                Mark(n - 2, exam::Mark::UnderlineOff);
                Mark(n, exam::Mark::UnderlineOn);
                ShowHanzi();
                ClearAfter(n);
            }
        }

        // 6. Score.
        UpdateScore();
    }

    int Answer(std::int64_t k) const { return At(s_.AnswerText, k); }
    int Source(std::int64_t k) const { return At(s_.SourceText, k); }
    // Byte k of the previous answer, at or past the kept bytes.
    int Previous(std::int64_t k) const { return At(prevTail_, k - prevStart_); }

    bool AnswerMatches(std::int64_t k) const {
        const int x = Answer(k);
        return x >= 0 && x == Source(k);
    }
    bool PreviousMatches(std::int64_t k) const {
        const int x = Previous(k);
        return x >= 0 && x == Source(k);
    }
    bool AnswerEndsDoubleByte(std::int64_t k) const {
        return EndsDoubleByte(s_.AnswerPairs, static_cast<std::int64_t>(s_.AnswerText.size()), k);
    }
    bool SourceEndsDoubleByte(std::int64_t k) const {
        return EndsDoubleByte(s_.SourcePairs, static_cast<std::int64_t>(s_.SourceText.size()), k);
    }

    // A Chinese character ending at k counts when it is one character of two
    // bytes in the answer and in the source alike, and both bytes match: one
    // straddling two characters of the source never does, even where its bytes
    // happen to match.
    bool ChineseMatches(std::int64_t k) const {
        return AnswerEndsDoubleByte(k) && SourceEndsDoubleByte(k) && AnswerMatches(k - 1) &&
               AnswerMatches(k);
    }

    // The character ending at k matches: a single-byte one by its byte, a
    // double-byte one (whatever its second byte) by both.
    bool CharacterMatches(std::int64_t k) const {
        return AnswerEndsDoubleByte(k) ? AnswerMatches(k - 1) && AnswerMatches(k)
                                       : AnswerMatches(k);
    }

    void Mark(std::int64_t offset, exam::Mark mark) {
        if (offset >= 0 && offset < s_.SourceLength) {
            v_.MarkSource(static_cast<int>(offset), mark);
        }
    }

    // Underline off at `off`, on at n, and the character after it plain again.
    void MoveUnderline(std::int64_t n, std::int64_t off) {
        Mark(off, exam::Mark::UnderlineOff);
        Mark(n, exam::Mark::UnderlineOn);
        ClearAfter(n);
    }

    void ClearAfter(std::int64_t n) {
        if (n < s_.SourceLength) {
            Mark(n + 1, exam::Mark::UnderlineOff);
            Mark(n + 1, exam::Mark::Black);
        }
    }

    void SetAscii(std::int32_t count) {
        if (count != s_.CorrectAsciiCount) {
            s_.CorrectAsciiCount = count;
            v_.SetFieldText(Field::CorrectAscii, Decimal(count));
        }
    }

    void SetHanzi(std::int32_t count) {
        if (count != s_.CorrectHanziCount) {
            s_.CorrectHanziCount = count;
            ShowHanzi();
        }
    }

    void ShowHanzi() {
        s_.CorrectHanziShown = true;
        v_.SetFieldText(Field::CorrectHanzi, Decimal(s_.CorrectHanziCount));
    }

    // The removed tail of the previous answer, read as the source view groups
    // characters; each removed character that was right when typed is taken off.
    void TakeBackRemoved(std::int64_t n) {
        std::int32_t ascii = s_.CorrectAsciiCount;
        std::int32_t hanzi = s_.CorrectHanziCount;
        for (std::int64_t k = n; k < prevSize_;) {
            const std::int64_t last =
                (IsLeadByte(static_cast<unsigned char>(Previous(k))) && k + 1 < prevSize_) ? k + 1
                                                                                           : k;
            const auto b = static_cast<unsigned char>(Previous(last));
            if (IsSingleByteChar(b)) {
                const bool right = last == k ? PreviousMatches(last)
                                             : PreviousMatches(last - 1) && PreviousMatches(last);
                if (right && ascii > 0) {
                    --ascii;
                }
            } else if (IsHighByte(b)) {
                if (last != k && SourceEndsDoubleByte(last) && PreviousMatches(last - 1) &&
                    PreviousMatches(last) && hanzi > 0) {
                    --hanzi;
                }
            }
            k = last + 1;
        }
        SetAscii(ascii);
        SetHanzi(hanzi);
    }

    void UpdateScore() {
        s_.TotalCorrect = s_.CorrectAsciiCount + s_.CorrectHanziCount;
        s_.TotalSourceChars = s_.SourceHighByteCount / 2 + s_.SourceAsciiCount;
        s_.Score = Score(s_.TotalCorrect, s_.TotalSourceChars);
        v_.SetFieldText(Field::Score, Decimal(s_.Score));
    }

    void Reset() {
        if (s_.CorrectAsciiCount != 0) {
            s_.CorrectAsciiCount = 0;
            v_.SetFieldText(Field::CorrectAscii, "0");
        }
        s_.CorrectHanziCount = 0;
        ShowHanzi();
        UpdateScore();
    }

    ExamState& s_;
    ExamView& v_;
    std::int64_t keep_ = 0;
    std::string_view prevTail_; // lives as long as the change
    std::int64_t prevStart_ = 0;
    std::int64_t prevSize_ = 0;
};

} // namespace

std::int64_t Score(std::int32_t correct, std::int32_t total) {
    if (total == 0) {
        if (correct == 0) {
            throw InvalidOpError();
        }
        throw ZeroDivideError();
    }
    // The quotient first, then the percentage, both in 80-bit extended precision;
    // volatile keeps the compiler from fusing or reordering the two roundings.
    volatile long double q = static_cast<long double>(correct) / static_cast<long double>(total);
    volatile long double p = q * 100.0L;
    return static_cast<std::int64_t>(std::llrint(p));
}

bool AllHanziTyped(const ExamState& state) {
    // As the counts are shown: the correct count is blank before the first change.
    return state.CorrectHanziShown && state.CorrectHanziCount == state.SourceHighByteCount / 2;
}

AnswerChange ChangeTo(const ExamState& state, std::string_view answer) {
    const std::string_view previous = state.AnswerText;
    // The common start, found block by block at memcmp's pace.
    const std::size_t most = std::min(previous.size(), answer.size());
    std::size_t common = 0;
    for (const std::size_t block : {std::size_t{4096}, std::size_t{64}, std::size_t{1}}) {
        while (common + block <= most &&
               std::memcmp(previous.data() + common, answer.data() + common, block) == 0) {
            common += block;
        }
    }
    return {previous.size() - common, answer.substr(common)};
}

void CompareChange(ExamState& state, ExamView& view, AnswerChange change) {
    Change(state, view).Run(change);
}

void CompareAnswer(ExamState& state, ExamView& view, std::string_view answer) {
    CompareChange(state, view, ChangeTo(state, answer));
}

} // namespace qarvel::exam
