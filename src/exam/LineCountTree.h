#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qarvel::exam {

// How many lines each paragraph of a text takes, summed in a tree so that the
// first line of a paragraph, and the paragraph holding a line, are found in
// steps logarithmic in the number of paragraphs. A paragraph takes one line
// until its count is set; setting it marks the paragraph counted.
class LineCountTree {
public:
    void reset(int paragraphs);
    [[nodiscard]] int paragraphCount() const { return static_cast<int>(counted_.size()); }

    [[nodiscard]] int linesOf(int paragraph) const {
        return prefix(paragraph + 1) - prefix(paragraph);
    }
    // Sets the lines of `paragraph` (at least one); true when the count changed.
    bool setLinesOf(int paragraph, int lines);
    [[nodiscard]] bool counted(int paragraph) const {
        return counted_[static_cast<std::size_t>(paragraph)];
    }

    // Lines before `paragraph`; all lines.
    [[nodiscard]] int firstLineOf(int paragraph) const { return prefix(paragraph); }
    [[nodiscard]] int totalLines() const { return prefix(paragraphCount()); }
    // The paragraph holding line `number` (counted from 0 over the whole text);
    // the last paragraph for a line past the end, the first for a negative one.
    [[nodiscard]] int paragraphAtLine(int number) const;

    [[nodiscard]] std::size_t bytesUsed() const {
        return tree_.capacity() * sizeof(std::int32_t) + counted_.capacity() / 8;
    }

private:
    [[nodiscard]] int prefix(int count) const;

    std::vector<std::int32_t> tree_{0}; // 1-based: tree_[i] sums the i & -i counts up to i
    std::vector<bool> counted_;
};

} // namespace qarvel::exam
