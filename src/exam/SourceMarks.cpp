#include "SourceMarks.h"

namespace qarvel::exam {

bool SourceMarks::apply(int position, Mark mark) {
    const auto at = static_cast<std::size_t>(position);
    // The looks grow as far as a character is marked.
    if (at >= looks_.size()) {
        if (mark == Mark::Black || mark == Mark::UnderlineOff) {
            return false; // plain already
        }
        looks_.resize(at + 1, kPlain);
    }
    Look& look = looks_[at];
    const Look before = look;
    const auto withColour = [&](Colour colour) {
        return static_cast<Look>((look & ~kColourBits) | colour);
    };
    switch (mark) {
    case Mark::Blue:
        look = withColour(kBlue);
        break;
    case Mark::Red:
        look = withColour(kRed);
        break;
    case Mark::Black:
        look = withColour(kBlack);
        break;
    case Mark::UnderlineOn:
        look = static_cast<Look>(look | kUnderlineBit);
        break;
    case Mark::UnderlineOff:
        look = static_cast<Look>(look & ~kUnderlineBit);
        break;
    }
    return look != before;
}

} // namespace qarvel::exam
