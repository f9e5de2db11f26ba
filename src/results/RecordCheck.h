#pragma once

#include "Record.h"
#include "exam/TypingPace.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qarvel::results {

// Why a record deserves a second look.
enum class Flag {
    Unreadable,       // the file could not be read as a record: see the row's reason
    NotVerified,      // the replay of its events disagrees with it, or it has none to replay
    NoEvents,         // it carries no typing to replay
    SourceMissing,    // no source text with its SHA-256 was found
    SourceDiffers,    // made on another source than the given one (or than most records)
    ImplausibleSpeed, // typed faster than a person can, or with too few key presses
    ImplausibleLog,   // more events or characters than an exam of its duration can hold
    OutsideExamTime,  // changes while paused or after the time was up; a start out of time
    SameLog,          // another record has the same typing
    DuplicateNumber,  // another record has the same number
    NumberFormat,     // a number not of digits, or hidden controls in a number or name
    DurationDiffers,  // a duration other than the room's
    Stale,            // running or paused, but not updated for over a minute
};
inline constexpr Flag kAllFlags[] = {
    Flag::Unreadable,    Flag::NotVerified,      Flag::NoEvents,       Flag::SourceMissing,
    Flag::SourceDiffers, Flag::ImplausibleSpeed, Flag::ImplausibleLog, Flag::OutsideExamTime,
    Flag::SameLog,       Flag::DuplicateNumber,  Flag::NumberFormat,   Flag::DurationDiffers,
    Flag::Stale};

// The flag's stable identifier for scripts ("not-verified", ...).
QString FlagId(Flag flag);
// The flag in Chinese words for the table and the CSV.
QString FlagWord(Flag flag);

enum class Verified { Yes, No, Unknown };
// "yes", "no", "unknown"
QString VerifiedId(Verified verified);

// What checking one record found.
struct Check {
    Verified verified = Verified::Unknown;
    std::vector<Flag> flags;   // in the order of kAllFlags, each once
    QStringList disagreements; // what the replay disagreed on, e.g. "score 100/3"
    exam::TypingPace pace;

    void Add(Flag flag);
    [[nodiscard]] bool Has(Flag flag) const;
};

// Replays `record` on `source` (the source text as the exam window holds it,
// GBK; nothing when no source with the record's SHA-256 was found) and checks
// what the record says against the replay, its timing against a person's.
// Sets every flag but the folder's own (duplicate number, stale, source).
Check CheckRecord(const Record& record, const std::optional<std::string>& source);

// The source texts of a folder's records, read once per file: the teacher's
// (--source), else the record's own source path when its SHA-256 agrees.
class SourceTexts {
public:
    // `given`: the teacher's source file; empty for none.
    explicit SourceTexts(const QString& given);

    [[nodiscard]] bool givenReadable() const { return given_.has_value(); }

    struct Found {
        std::optional<std::string> text; // GBK, as the exam window reads it
        bool differsFromGiven = false;   // a source was given, the record's is another
    };
    Found For(const Record& record);

private:
    struct Source {
        QString sha256;
        std::optional<std::string> text;
    };
    static std::optional<Source> Read(const QString& path);

    QString givenPath_;
    std::optional<Source> given_;
    std::map<QString, std::optional<Source>> byPath_; // by SHA-256 and path
};

// Seconds of a clock text "hh:mm:ss" (any separators); nothing when it is not one.
std::optional<qint64> ClockSeconds(const QString& text);

} // namespace qarvel::results
