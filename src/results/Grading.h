#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

// The rules that turn a folder of records into a 成绩单: which of a student's
// records stands, which records count, rank, pass, and the class roster.
namespace qarvel::results {

// Which of a student's records stands when they took the exam more than once.
enum class RetakeRule {
    Best, // the highest score, then the fastest; the default
    Last, // the last started
};
// "best" or "last"; none for anything else.
std::optional<RetakeRule> ParseRetakeRule(const QString& word);

// Where a record stands in the 成绩单.
enum class Standing {
    Counted,    // ranked, judged and averaged
    Retake,     // another record of the same student stands (listed below the table)
    Running,    // still under way (答题中, 暂停)
    Abandoned,  // closed before the end and before time up (中途退出)
    Lost,       // running, but its program stopped writing (失联)
    Unverified, // the replay of its typing does not give what it says
    Absent,     // on the roster, no record (缺考)
    Unreadable, // a file of the folder that is not a record
};

// Records kept out of the rank and the averages unless the teacher counts them.
struct Counting {
    bool abandoned = false;
    bool lost = false;
    bool unverified = false;
};
// A list of "abandoned", "lost", "unverified" (comma between) or "all"; none
// when a word is unknown.
std::optional<Counting> ParseCounting(const QString& words);

// What a record needs to be 及格: a score and/or a speed at least this.
struct PassRule {
    std::optional<int> score;
    std::optional<double> speed; // characters a minute
    [[nodiscard]] bool any() const { return score || speed; }
};
// Whether a result passes every part of the rule; none without a rule. A
// missing speed fails a speed standard.
std::optional<bool> Passes(const PassRule& rule, int score, const std::optional<double>& speed);

// One record as the rules see it.
struct Attempt {
    QString numberKey; // NumberKey of the student number
    int score = 0;
    std::optional<double> speed;
    qint64 start = 0; // when it began (ms since the epoch), for "last"
};

// For every attempt, whether it stands: one per student number, by `rule`;
// ties go to the later start.
std::vector<bool> ChooseAttempts(const std::vector<Attempt>& attempts, RetakeRule rule);

// Ranks (1 best) of results by score, then speed as shown (to a tenth; none
// slowest). Equal results share a rank and the next rank skips: 1, 2, 2, 4.
std::vector<int> Ranks(const std::vector<std::pair<int, std::optional<double>>>& results);

// The class list the teacher gives: student numbers and names.
struct RosterEntry {
    QString number;
    QString name;
};
struct Roster {
    std::vector<RosterEntry> entries; // in the file's order, each number once
};

// A roster from the text of a CSV file: a line per student, number then
// name, split by a comma (full-width too), a tab or a semicolon; quotes
// around a field dropped; blank lines and a heading line (学号..., number...)
// passed over. UTF-8 with or without a byte-order mark; anything that is not
// UTF-8 is read as GBK. A number seen twice keeps its first line.
Roster ParseRoster(const QByteArray& bytes);

// A roster read from `path`: a regular file of at most kRosterBytes; on
// failure none and `error` says why.
inline constexpr qint64 kRosterBytes = 1024 * 1024;
std::optional<Roster> ReadRoster(const QString& path, QString& error);

} // namespace qarvel::results
