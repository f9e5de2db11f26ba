#pragma once

#include "ResultsTable.h"

#include <QDateTime>
#include <optional>
#include <vector>

namespace qarvel::results {

// How far a record's times may stray from the file's and the clock's (the
// machines' clocks disagree a little) before its start is out of time.
inline constexpr qint64 kClockSkewSeconds = 600;
// How far the wall time between a record's start and its update may differ
// from the time its log was taken at.
inline constexpr qint64 kLogClockSlackSeconds = 120;
// Logs this long (changes) that differ only in their timing are the same typing.
inline constexpr int kSameShapeChanges = 50;

// number-format: a number that is not digits once read as a person reads it
// (the login takes digits only), or a number or name with hidden characters.
void FlagIdentity(Row& row);

// outside-exam-time for a start that cannot be: none, after the update, in
// the future, after the file was last written, or not what the log's own
// clock says of the time between the start and the update.
void FlagStartTime(Row& row, const QDateTime& now);

// same-log for records whose event logs are the same, or the same changes in
// the same order at other times (logs of kSameShapeChanges changes or more).
void FlagSameLogs(std::vector<Row>& rows);

// The room's duration in milliseconds: `durationMs` when given, else the
// duration most records have (none when two tie).
std::optional<qint64> RoomDuration(const std::vector<Row>& rows,
                                   const std::optional<qint64>& durationMs);

// duration-differs for records of another duration than the room's.
void FlagDurations(std::vector<Row>& rows, const std::optional<qint64>& roomMs);

// A log beyond what an exam of the room's duration can hold (a record that
// claims a longer exam than the room's) is not kept: the record is then not
// replayed, and flagged implausible-log.
void RefuseBeyondRoom(std::vector<Row>& rows, const std::optional<qint64>& roomMs);

} // namespace qarvel::results
