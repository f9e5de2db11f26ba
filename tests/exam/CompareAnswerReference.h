#pragma once

// The judgement of a change as it was first written: from the whole answer
// and a whole copy of the previous one, reading the completion test back from
// the window. Slow (each change costs the answer's length); kept to check
// that judging changes by what they add and remove decides exactly the same.

#include "RecordingView.h"
#include "exam/CompareAnswer.h"
#include "exam/Gbk.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qarvel::exam::reference {

struct State {
    std::string SourceText;
    std::int32_t SourceLength = 0;
    std::int32_t SourceAsciiCount = 0;
    std::int32_t SourceHighByteCount = 0;
    std::string AnswerText;
    std::int32_t AnswerLength = 0;
    std::string PreviousAnswerText;
    std::int32_t CorrectAsciiCount = 0;
    std::int32_t CorrectHanziCount = 0;
    std::int32_t TotalCorrect = 0;
    std::int32_t TotalSourceChars = 0;
};

namespace {

// Byte k of a text, or -1 when k lies outside it: a missing byte matches nothing.
int At(std::string_view s, std::int64_t k) {
    if (k < 0 || k >= static_cast<std::int64_t>(s.size())) {
        return -1;
    }
    return ByteAt(s, k);
}

bool Matches(std::string_view a, std::string_view b, std::int64_t k) {
    const int x = At(a, k);
    return x >= 0 && x == At(b, k);
}

// A double-byte character ending at offset k matches when both of its bytes do.
bool DoubleMatches(std::string_view a, std::string_view b, std::int64_t k) {
    return Matches(a, b, k - 1) && Matches(a, b, k);
}

// Whether the byte at k (33..126) is the second byte of a double-byte character:
// in a run of lead-range bytes ending right before it, characters pair up from
// the run's start, so an odd run leaves its last byte waiting for this one.
bool EndsDoubleByte(std::string_view s, std::int64_t k) {
    if (k < 1 || k >= static_cast<std::int64_t>(s.size())) {
        return false;
    }
    std::int64_t run = 0;
    while (k - 1 - run >= 0 && IsLeadByte(ByteAt(s, k - 1 - run))) {
        ++run;
    }
    return run % 2 == 1;
}

// A Chinese character ending at k counts when it is one character of two bytes
// in the answer and in the source alike, and both bytes match: one straddling
// two characters of the source never does, even where its bytes happen to match.
bool ChineseMatches(std::string_view answer, std::string_view source, std::int64_t k) {
    return EndsDoubleByte(answer, k) && EndsDoubleByte(source, k) &&
           DoubleMatches(answer, source, k);
}

// The character ending at k matches: a single-byte one by its byte, a double-byte
// one (whatever its second byte) by both.
bool CharacterMatches(std::string_view a, std::string_view b, std::int64_t k) {
    return EndsDoubleByte(a, k) ? DoubleMatches(a, b, k) : Matches(a, b, k);
}

std::string Decimal(std::int64_t v) {
    return std::to_string(v);
}

class Change {
public:
    Change(State& state, testing::RecordingView& view) : s_(state), v_(view) {}

    void Run(const std::string& answer) {
        // 1. Every change switches the clock on.
        v_.SetClockEnabled(true);

        // 2. Store the answer.
        s_.AnswerText = answer;
        s_.AnswerLength = static_cast<std::int32_t>(answer.size());
        const std::int64_t n = s_.AnswerLength;
        const std::string_view ans = s_.AnswerText;
        const std::string_view src = s_.SourceText;
        const std::string_view prev = s_.PreviousAnswerText;

        if (n > 0) {
            const int cmp = prev.compare(ans);
            const bool grew = cmp < 0;
            const bool shrank = cmp > 0;
            const unsigned char last = ByteAt(ans, n - 1);

            // 3. Underline move for a space or a single-byte character.
            if (last >= 32 && last <= 126) {
                MoveUnderline(n, n - 1);
            }

            // 4. Single-byte judgement.
            if (IsSingleByteChar(last) && grew) {
                if (CharacterMatches(ans, src, n - 1)) {
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
                    const bool right = ChineseMatches(ans, src, n - 1);
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
                    const bool right = ChineseMatches(ans, src, n - 1);
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

        // 7. Remember the answer for the next change.
        s_.PreviousAnswerText = s_.AnswerText;

        // 8. Resets, each on what the ones before it left.
        if (n == 0) {
            Reset();
        }
        if (s_.CorrectHanziCount < 1) {
            Reset();
        }
        if (s_.CorrectHanziCount <= 1 && n > 0 && ByteAt(ans, n - 1) == 32) {
            Reset();
        }

        // 9. Completion.
        if (v_.Shown(Field::SourceHanzi) == v_.Shown(Field::CorrectHanzi)) {
            v_.SetClockEnabled(false);
            v_.DisableAnswer();
        }
    }

private:
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

    void ShowHanzi() { v_.SetFieldText(Field::CorrectHanzi, Decimal(s_.CorrectHanziCount)); }

    // The removed tail of the previous answer, read as the source view groups
    // characters; each removed character that was right when typed is taken off.
    void TakeBackRemoved(std::int64_t n) {
        const std::string_view prev = s_.PreviousAnswerText;
        const std::string_view src = s_.SourceText;
        const auto end = static_cast<std::int64_t>(prev.size());
        std::int32_t ascii = s_.CorrectAsciiCount;
        std::int32_t hanzi = s_.CorrectHanziCount;
        for (std::int64_t k = n; k < end;) {
            const std::int64_t last = (IsLeadByte(ByteAt(prev, k)) && k + 1 < end) ? k + 1 : k;
            const unsigned char b = ByteAt(prev, last);
            if (IsSingleByteChar(b)) {
                const bool right =
                    last == k ? Matches(prev, src, last) : DoubleMatches(prev, src, last);
                if (right && ascii > 0) {
                    --ascii;
                }
            } else if (IsHighByte(b)) {
                if (last != k && EndsDoubleByte(src, last) && DoubleMatches(prev, src, last) &&
                    hanzi > 0) {
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
        v_.SetFieldText(Field::Score, Decimal(Score(s_.TotalCorrect, s_.TotalSourceChars)));
    }

    void Reset() {
        if (s_.CorrectAsciiCount != 0) {
            s_.CorrectAsciiCount = 0;
            v_.SetFieldText(Field::CorrectAscii, "0");
        }
        s_.CorrectHanziCount = 0;
        v_.SetFieldText(Field::CorrectHanzi, "0");
        UpdateScore();
    }

    State& s_;
    testing::RecordingView& v_;
};

} // namespace

inline void CompareAnswer(State& state, testing::RecordingView& view, const std::string& answer) {
    Change(state, view).Run(answer);
}

} // namespace qarvel::exam::reference
