#pragma once

#include "Record.h"
#include "RecordCheck.h"
#include "Speed.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

namespace qarvel::results {

// A running or paused record not updated for this long comes from a program
// that stopped writing: crashed, killed or switched off.
inline constexpr qint64 kStaleSeconds = 60;

// The records of a results folder, and the files in it that are not records.
struct FolderRecords {
    std::vector<Record> records;
    QStringList files;               // each record's file name, in the order of `records`
    std::vector<QDateTime> modified; // each record's file's last write, when known
    QStringList unreadable;          // *.json files that are not records
    QStringList reasons;             // why, in the order of `unreadable`
    QString error;                   // why the folder itself could not be listed; empty when it was
};

// Reads every record of `folder` (hidden files, such as the temporary files
// of writes under way, are passed over). Each is opened only as a regular
// file, never through a symbolic link, and read only up to kRecordCap.
FolderRecords ReadFolder(const QString& folder);

// What the teacher says of the room.
struct RoomRules {
    std::optional<qint64> durationMs; // the exam's duration; nothing: the most common
};

// One row of the merged table.
struct Row {
    Record record;
    QString file;
    QString unreadable;       // why the file is not a record; empty for a record
    QDateTime modified;       // the file's last write, when known
    bool duplicate = false;   // another record has the same number, as a person reads it
    bool stale = false;       // running or paused, but not updated for kStaleSeconds
    bool otherSource = false; // made on a source unlike most records'
    Check check;              // the flags above, and what checking the record found
    Measures measures;        // speed, accuracy, time to completion
};

// One row per record and per file that is not one, sorted by student number
// (numbers of digits by value), then by start; with the folder's flags set as
// of `now`.
std::vector<Row> MergeRecords(FolderRecords folder, const QDateTime& now,
                              const RoomRules& rules = {});

// Replays and checks every row's record on its source (see CheckRecord).
// Checks of records kept from one reading of a folder to the next (--watch):
// a record that has not changed is not replayed again.
using CheckCache = std::map<QString, Check>;
void VerifyRows(std::vector<Row>& rows, SourceTexts& sources, CheckCache* cache = nullptr);

// The state as the table shows it: 答题中, 暂停, 时间到, 完成, 已关闭; 失联 when
// stale; 无法读取 for a file that is not a record.
QString StateWord(const Row& row);
// The flags as the table shows them, "; " between; for a file that is not a
// record, its name and why: "无法读取（b.json：不是成绩记录）".
QString FlagWords(const Row& row);
// Whether the record was verified, in a word: 是, 否, 未知.
QString VerifiedWord(const Row& row);

// The table for a terminal, columns aligned for Chinese text (two cells a character).
QString FormatTable(const std::vector<Row>& rows);
// One line: how many are typing, paused, finished, silent.
QString FormatSummary(const std::vector<Row>& rows);
// The table as CSV: UTF-8 with a byte-order mark, CR LF line ends, quoted
// where needed, so that spreadsheets open the Chinese correctly.
QByteArray FormatCsv(const std::vector<Row>& rows);
// The rows for scripts: one JSON array, an object per record, its flags as
// stable English identifiers (FlagId).
QByteArray FormatJson(const std::vector<Row>& rows);

} // namespace qarvel::results
