#pragma once

#include "ExamView.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qarvel::exam {

// The look of each character of the source: a colour and an underline, set one
// character at a time by the engine's marks. Kept only as far as a character
// has been marked: the characters after are black without underline.
class SourceMarks {
public:
    // A character's look in one byte: the colour in the low bits, the underline above.
    using Look = std::uint8_t;
    enum Colour : Look { kBlack = 0, kBlue = 1, kRed = 2 };
    static constexpr Look kPlain = kBlack;

    static Colour colourOf(Look look) { return static_cast<Colour>(look & kColourBits); }
    static bool underlined(Look look) { return (look & kUnderlineBit) != 0; }

    void clear() { looks_.clear(); }
    // Applies `mark` to the character at `position` (not negative); true when
    // its look changed.
    bool apply(int position, Mark mark);
    [[nodiscard]] Look at(int position) const {
        return position >= 0 && static_cast<std::size_t>(position) < looks_.size()
                   ? looks_[static_cast<std::size_t>(position)]
                   : kPlain;
    }
    // Characters up to the last one marked; those after it are plain.
    [[nodiscard]] int extent() const { return static_cast<int>(looks_.size()); }

private:
    static constexpr Look kColourBits = 0x3;
    static constexpr Look kUnderlineBit = 0x4;

    std::vector<Look> looks_;
};

} // namespace qarvel::exam
