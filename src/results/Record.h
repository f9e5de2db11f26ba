#pragma once

#include "exam/EventLog.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace qarvel::results {

// The states an exam's record can be in, as written in the record.
inline constexpr const char* kRunning = "running";
inline constexpr const char* kPaused = "paused";
inline constexpr const char* kTimeUp = "time up";
inline constexpr const char* kComplete = "complete";
inline constexpr const char* kClosed = "closed";

// Schema 2 adds the exam's event log; records of schema 1 still read.
inline constexpr int kSchemaVersion = 2;

// One exam as the teacher gets it: who, where, when, on which source, how far.
struct Record {
    int schema = kSchemaVersion;
    QString program; // "qarvel 1.0"
    QString host;
    QString user;
    QString name;
    QString number;
    QString duration; // the duration text given at login
    QDateTime start;  // the login
    QDateTime updated;
    QString state = QString::fromLatin1(kRunning);
    QString remaining; // the clock texts as shown
    QString elapsed;
    QString sourcePath;
    QString sourceSha256; // hex, empty when the file could not be read
    int sourceTotal = 0;
    int sourceAscii = 0;
    int sourceHanzi = 0;
    int correctAscii = 0;
    int correctHanzi = 0;
    int score = 0;   // percent, as shown
    int changes = 0; // judged changes of the answer
    int pauses = 0;
    qint64 pauseSeconds = 0;
    QString answer; // line breaks as "\n"
    // The typing, as the window judged it (schema 2): every change and pause
    // since the login, and the real key presses (-1: not counted).
    bool hasLog = false;
    exam::ExamLog log;
    qint64 loggedAt = -1; // milliseconds since the login when the record was made
    // The log held more events or characters than an exam of its duration
    // could (exam::MostEvents, exam::MostCharacters): it was not read.
    bool logRefused = false;
    // The log's count of key presses was missing, not a whole number or
    // below -1 (-1 is written when the window could not count them).
    bool keysMalformed = false;

    bool operator==(const Record&) const = default;
};

// The duration a record was made for, in milliseconds: the text given at the
// login read as the login reads it; nothing when it is not a time.
std::optional<qint64> DurationMs(const QString& duration);

// The program's name and version as records carry them.
QString ProgramVersion();

// The record as indented UTF-8 JSON. Times carry their offset from UTC.
QByteArray ToJson(const Record& record);
// A record read back; nothing when the text is not a record of a known schema.
std::optional<Record> FromJson(const QByteArray& json);

// A part of a file name: letters (Chinese included) and digits kept, every
// other run of characters one "-", no "-" at either end, at most `limit`
// characters; "-" when nothing is left.
QString SafeNamePart(const QString& text, int limit = 32);

// The record's file name: number_name_start_host_tag.json, every part made
// safe, the start written as 20261207T130500+0800, `tag` (RandomNameTag)
// left out when empty; at most 255 bytes. Nobody can tell the name of an
// exam's record beforehand, and two exams never share one.
QString RecordFileName(const Record& record, const QString& tag = {});

// A random part for a file name, from the system's generator: 13 letters and digits.
QString RandomNameTag();

// `name` (as RecordFileName makes it) with a fresh random part.
QString RetaggedFileName(const QString& name);

// The current time with the local offset from UTC, to the second.
QDateTime NowWithOffset();

} // namespace qarvel::results
