#include "LineCountTree.h"

#include <algorithm>

namespace qarvel::exam {

void LineCountTree::reset(int paragraphs) {
    const auto count = static_cast<std::size_t>(std::max(paragraphs, 0));
    counted_.assign(count, false);
    // Every paragraph one line: each entry sums as many ones as it covers.
    tree_.assign(count + 1, 0);
    for (std::size_t i = 1; i <= count; ++i) {
        tree_[i] = static_cast<std::int32_t>(i & (~i + 1));
    }
}

int LineCountTree::prefix(int count) const {
    int sum = 0;
    for (int i = count; i > 0; i -= i & -i) {
        sum += tree_[static_cast<std::size_t>(i)];
    }
    return sum;
}

bool LineCountTree::setLinesOf(int paragraph, int lines) {
    counted_[static_cast<std::size_t>(paragraph)] = true;
    const int delta = std::max(lines, 1) - linesOf(paragraph);
    if (delta == 0) {
        return false;
    }
    const int size = static_cast<int>(tree_.size());
    for (int i = paragraph + 1; i < size; i += i & -i) {
        tree_[static_cast<std::size_t>(i)] += delta;
    }
    return true;
}

int LineCountTree::paragraphAtLine(int number) const {
    // The most paragraphs from the start whose lines end at or before `number`.
    int value = std::max(number, 0);
    const int size = paragraphCount();
    int step = 1;
    while (step * 2 <= size) {
        step *= 2;
    }
    int at = 0;
    for (; step > 0; step /= 2) {
        if (at + step <= size && tree_[static_cast<std::size_t>(at + step)] <= value) {
            at += step;
            value -= tree_[static_cast<std::size_t>(at)];
        }
    }
    return std::min(at, std::max(size - 1, 0));
}

} // namespace qarvel::exam
