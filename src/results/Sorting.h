#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

namespace qarvel::results {

// The orders the table can be given.
enum class SortKey {
    Number, // student number, runs of digits by their value: 2 before 10, 01 beside 1
    Name,   // name, as a Chinese reader orders names (by pinyin), digits by value
    Score,  // highest score first
    Speed,  // fastest first; records without a speed last
};

// "number", "name", "score" or "speed"; none for anything else.
std::optional<SortKey> ParseSortKey(const QString& word);

// What a row is sorted by.
struct SortFields {
    QString number;
    QString name;
    int score = 0;
    std::optional<double> speed;
};

// The order of `rows` by `key`, as indexes into `rows`. Stable: rows that are
// equal by the key keep their order.
std::vector<std::size_t> SortOrder(const std::vector<SortFields>& rows, SortKey key);

// Compares two texts with every run of digits taken by its value (full-width
// digits too) and placed before any other character, everything else
// character by character; texts equal so ("01", "1") by their characters.
// Negative, 0 or positive.
int CompareNaturally(const QString& a, const QString& b);

} // namespace qarvel::results
