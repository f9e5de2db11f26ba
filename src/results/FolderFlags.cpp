#include "FolderFlags.h"

#include "TextSafety.h"
#include "exam/TypingPace.h"
#include "identity/Identity.h"

#include <QCryptographicHash>
#include <charconv>
#include <cstdlib>
#include <map>

namespace qarvel::results {
namespace {

bool Readable(const Row& row) {
    return row.unreadable.isEmpty();
}

bool AllDigits(const QString& text) {
    for (const QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

// The log's fingerprint, with or without its times.
QByteArray LogKey(const exam::ExamLog& log, bool withTimes) {
    std::string text;
    text.reserve(log.events.size() * 16);
    char number[24];
    for (const exam::ExamEvent& e : log.events) {
        text += char(e.kind);
        for (const std::int64_t n :
             {withTimes ? e.ms : 0, std::int64_t(e.count), std::int64_t(e.text.size())}) {
            const auto end = std::to_chars(number, number + sizeof number, n).ptr;
            text.append(number, end);
            text += ':';
        }
        text += e.text;
    }
    return QCryptographicHash::hash(QByteArrayView(text.data(), qsizetype(text.size())),
                                    QCryptographicHash::Sha256);
}

int Changes(const exam::ExamLog& log) {
    int n = 0;
    for (const exam::ExamEvent& e : log.events) {
        n += e.kind == exam::ExamEvent::Kind::Append || e.kind == exam::ExamEvent::Kind::Remove;
    }
    return n;
}

} // namespace

void FlagIdentity(Row& row) {
    const Record& r = row.record;
    if (!Readable(row)) {
        return;
    }
    const QString number = identity::NormalizedIdentity(r.number);
    if (!AllDigits(number) || HasHiddenCharacters(r.number) || HasHiddenCharacters(r.name)) {
        row.check.Add(Flag::NumberFormat);
    }
}

void FlagStartTime(Row& row, const QDateTime& now) {
    const Record& r = row.record;
    if (!Readable(row)) {
        return;
    }
    bool out = !r.start.isValid() || r.start.secsTo(now) < -kClockSkewSeconds;
    if (r.start.isValid() && r.updated.isValid()) {
        out = out || r.updated < r.start;
        if (r.loggedAt >= 0) {
            const qint64 wall = r.start.msecsTo(r.updated);
            out = out || std::llabs(wall - r.loggedAt) > kLogClockSlackSeconds * 1000;
        }
    }
    if (row.modified.isValid()) {
        out = out || (r.start.isValid() && row.modified.secsTo(r.start) > kClockSkewSeconds) ||
              (r.updated.isValid() && row.modified.secsTo(r.updated) > kClockSkewSeconds);
    }
    if (out) {
        row.check.Add(Flag::OutsideExamTime);
    }
}

void FlagSameLogs(std::vector<Row>& rows) {
    std::map<QByteArray, std::vector<std::size_t>> same;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Record& r = rows[i].record;
        if (!Readable(rows[i]) || !r.hasLog) {
            continue;
        }
        const int changes = Changes(r.log);
        if (changes == 0) {
            continue;
        }
        same[QByteArray("t") + LogKey(r.log, true)].push_back(i);
        if (changes >= kSameShapeChanges) {
            same[QByteArray("s") + LogKey(r.log, false)].push_back(i);
        }
    }
    for (const auto& [key, group] : same) {
        if (group.size() > 1) {
            for (const std::size_t i : group) {
                rows[i].check.Add(Flag::SameLog);
            }
        }
    }
}

namespace {

std::optional<qint64> Seconds(const Row& row) {
    const auto ms = DurationMs(row.record.duration);
    return ms ? std::optional<qint64>((*ms + 500) / 1000) : std::nullopt;
}

} // namespace

std::optional<qint64> RoomDuration(const std::vector<Row>& rows,
                                   const std::optional<qint64>& durationMs) {
    if (durationMs) {
        return (*durationMs + 500) / 1000 * 1000;
    }
    std::map<qint64, int> count;
    for (const Row& row : rows) {
        if (const auto s = Readable(row) ? Seconds(row) : std::nullopt) {
            ++count[*s];
        }
    }
    std::optional<qint64> room;
    int most = 0;
    for (const auto& [s, n] : count) {
        if (n > most) {
            room = s * 1000;
            most = n;
        } else if (n == most) {
            room.reset();
        }
    }
    return room;
}

void FlagDurations(std::vector<Row>& rows, const std::optional<qint64>& roomMs) {
    if (!roomMs) {
        return;
    }
    for (Row& row : rows) {
        if (Readable(row) && Seconds(row) != *roomMs / 1000) {
            row.check.Add(Flag::DurationDiffers);
        }
    }
}

void RefuseBeyondRoom(std::vector<Row>& rows, const std::optional<qint64>& roomMs) {
    if (!roomMs || *roomMs <= 0) {
        return;
    }
    for (Row& row : rows) {
        Record& r = row.record;
        if (!Readable(row) || !r.hasLog || !row.check.Has(Flag::DurationDiffers)) {
            continue;
        }
        if (std::int64_t(r.log.events.size()) > exam::MostEvents(*roomMs) ||
            exam::MeasurePace(r.log).characters > exam::MostCharacters(*roomMs)) {
            r.hasLog = false;
            r.logRefused = true;
            r.log.events = {};
            row.measures = {};
        }
    }
}

} // namespace qarvel::results
