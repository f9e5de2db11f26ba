#include "Sorting.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace qarvel::results {
namespace {

bool IsDigit(uint c) {
    return QChar::isDigit(char32_t(c));
}

} // namespace

std::optional<SortKey> ParseSortKey(const QString& word) {
    if (word == QLatin1String("number")) {
        return SortKey::Number;
    }
    if (word == QLatin1String("name")) {
        return SortKey::Name;
    }
    if (word == QLatin1String("score")) {
        return SortKey::Score;
    }
    if (word == QLatin1String("speed")) {
        return SortKey::Speed;
    }
    return std::nullopt;
}

int CompareNaturally(const QString& a, const QString& b) {
    const QList<uint> x = a.toUcs4();
    const QList<uint> y = b.toUcs4();
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < x.size() && j < y.size()) {
        if (IsDigit(x[i]) && IsDigit(y[j])) {
            // The values of the two runs: leading zeros skipped, then the
            // longer run is the larger, else the first digit that differs.
            while (i + 1 < x.size() && QChar::digitValue(char32_t(x[i])) == 0 &&
                   IsDigit(x[i + 1])) {
                ++i;
            }
            while (j + 1 < y.size() && QChar::digitValue(char32_t(y[j])) == 0 &&
                   IsDigit(y[j + 1])) {
                ++j;
            }
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < x.size() && IsDigit(x[ei])) {
                ++ei;
            }
            while (ej < y.size() && IsDigit(y[ej])) {
                ++ej;
            }
            if (ei - i != ej - j) {
                return ei - i < ej - j ? -1 : 1;
            }
            for (; i < ei; ++i, ++j) {
                const int dx = QChar::digitValue(char32_t(x[i]));
                const int dy = QChar::digitValue(char32_t(y[j]));
                if (dx != dy) {
                    return dx < dy ? -1 : 1;
                }
            }
        } else if (IsDigit(x[i]) != IsDigit(y[j])) {
            // A number before any other character, whatever their codes.
            return IsDigit(x[i]) ? -1 : 1;
        } else {
            if (x[i] != y[j]) {
                return x[i] < y[j] ? -1 : 1;
            }
            ++i;
            ++j;
        }
    }
    if (i < x.size() || j < y.size()) {
        return i < x.size() ? 1 : -1;
    }
    // Equal values written alike or not ("01" and "1"): the text decides.
    return a.compare(b);
}

std::vector<std::size_t> SortOrder(const std::vector<SortFields>& rows, SortKey key) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    switch (key) {
    case SortKey::Number:
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return CompareNaturally(rows[a].number, rows[b].number) < 0;
        });
        break;
    case SortKey::Name: {
        // Names compared directly: Qt's sort keys on Windows are filled only
        // half way and compared as text, so they order at random there.
        QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
        collator.setNumericMode(true);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return collator.compare(rows[a].name, rows[b].name) < 0;
        });
        break;
    }
    case SortKey::Score:
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return rows[a].score > rows[b].score;
        });
        break;
    case SortKey::Speed:
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            // Speeds as shown, to a tenth: rows that look alike keep their order.
            const std::optional<double>& x = rows[a].speed;
            const std::optional<double>& y = rows[b].speed;
            return x && (!y || std::lround(*x * 10) > std::lround(*y * 10));
        });
        break;
    }
    return order;
}

} // namespace qarvel::results
