#include "ResultsTable.h"

#include "BoundedRead.h"
#include "FolderFlags.h"
#include "HtmlReport.h"
#include "Sorting.h"
#include "TextSafety.h"
#include "identity/Identity.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <map>

namespace qarvel::results {
namespace {

// Cells a character takes on a terminal: two for East Asian wide characters.
int Cells(const QString& text) {
    int cells = 0;
    for (const uint c : text.toUcs4()) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        cells += wide ? 2 : 1;
    }
    return cells;
}

QString TimeText(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QString Iso(const QDateTime& time) {
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

QString Pauses(const Record& r) {
    return r.pauses == 0 ? QStringLiteral("0")
                         : QStringLiteral("%1次/%2秒").arg(r.pauses).arg(r.pauseSeconds);
}

QString CsvField(QString text) {
    // A name typed at login must not become a formula in the teacher's spreadsheet.
    bool number = false;
    text.toDouble(&number);
    if (!text.isEmpty() && !number && QStringLiteral("=+-@\t\r").contains(text.front())) {
        text.prepend(QLatin1Char('\''));
    }
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A count of the record; nothing for a file that is not one.
QString Count(const Row& row, qint64 value) {
    return row.unreadable.isEmpty() ? QString::number(value) : QString();
}

// 回改: the characters removed; empty when nothing was typed.
QString Corrections(const Measures& m) {
    return m.typed + m.removed > 0 ? QString::number(m.removed) : QString();
}

// A field of a record shown on one line of the table.
QString OneLine(const QString& text) {
    return ForTerminal(text);
}

// A measure for scripts, rounded as shown (to 1/`per`); null for none.
QJsonValue Rounded(const std::optional<double>& value, double per) {
    return value ? QJsonValue(std::round(*value * per) / per) : QJsonValue();
}

} // namespace

FolderRecords ReadFolder(const QString& folder) {
    FolderRecords result;
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.constData());
    if (dir == nullptr) {
        const int error = errno;
        result.error = QString::fromLocal8Bit(std::strerror(error));
        if (error == EACCES) {
            result.error +=
                QStringLiteral("（投递文件夹只有主人能列出内容：请用文件夹主人的账户运行）");
        }
        return result;
    }
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                result.error = QString::fromLocal8Bit(std::strerror(errno));
            }
            break;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (!name.startsWith(QLatin1Char('.')) && name.endsWith(QStringLiteral(".json"))) {
            names << name;
        }
    }
    ::closedir(dir);
    if (!result.error.isEmpty()) {
        return result;
    }
    names.sort();
    const QDir base(folder);
    for (const QString& name : names) {
        const BoundedRead read = ReadBounded(base.filePath(name), kRecordCap, false);
        const auto record = read.ok ? FromJson(read.bytes) : std::nullopt;
        if (record) {
            result.records.push_back(*record);
            result.files.push_back(name);
            result.modified.push_back(read.modified);
        } else {
            result.unreadable.push_back(name);
            result.reasons.push_back(read.ok ? QStringLiteral("不是成绩记录") : read.reason);
        }
    }
    return result;
}

std::vector<Row> MergeRecords(FolderRecords folder, const QDateTime& now, const RoomRules& rules) {
    std::vector<Row> rows;
    std::map<QString, int> perNumber;
    std::map<QString, int> perSource;
    for (std::size_t i = 0; i < folder.records.size(); ++i) {
        Row row;
        row.record = std::move(folder.records[i]); // a log may be large: kept once
        row.file = i < std::size_t(folder.files.size()) ? folder.files[qsizetype(i)] : QString();
        row.modified = i < folder.modified.size() ? folder.modified[i] : QDateTime();
        ++perNumber[identity::NumberKey(row.record.number)];
        ++perSource[row.record.sourceSha256];
        rows.push_back(std::move(row));
    }
    // The source most records were made on; with a tie for most, none is it.
    QString usual;
    int most = 0;
    bool tie = false;
    for (const auto& [sha, count] : perSource) {
        if (count > most) {
            usual = sha;
            most = count;
            tie = false;
        } else if (count == most) {
            tie = true;
        }
    }
    for (Row& row : rows) {
        const Record& r = row.record;
        FlagIdentity(row);
        FlagStartTime(row, now);
        row.duplicate = perNumber[identity::NumberKey(r.number)] > 1;
        row.stale = (r.state == QLatin1String(kRunning) || r.state == QLatin1String(kPaused)) &&
                    (!r.updated.isValid() || r.updated.secsTo(now) > kStaleSeconds);
        row.otherSource = perSource.size() > 1 && (tie || r.sourceSha256 != usual);
        if (row.duplicate) {
            row.check.Add(Flag::DuplicateNumber);
        }
        if (row.stale) {
            row.check.Add(Flag::Stale);
        }
        if (row.otherSource) {
            row.check.Add(Flag::SourceDiffers);
        }
        row.measures =
            Measure(r.log, {r.correctAscii + r.correctHanzi, r.state == QLatin1String(kComplete),
                            ClockSeconds(r.elapsed), r.hasLog ? r.log.keyPresses : -1});
    }
    FlagSameLogs(rows);
    const std::optional<qint64> room = RoomDuration(rows, rules.durationMs);
    FlagDurations(rows, room);
    RefuseBeyondRoom(rows, room);
    // Every file that is not a record has its row too, with why.
    for (qsizetype i = 0; i < folder.unreadable.size(); ++i) {
        Row row;
        row.file = folder.unreadable[i];
        row.unreadable =
            i < folder.reasons.size() ? folder.reasons[i] : QStringLiteral("不是成绩记录");
        row.record.number.clear();
        row.record.state.clear();
        row.check.verified = Verified::No;
        row.check.Add(Flag::Unreadable);
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        const int c = CompareNaturally(identity::NumberKey(a.record.number),
                                       identity::NumberKey(b.record.number));
        return c != 0 ? c < 0 : a.record.start < b.record.start;
    });
    return rows;
}

QString StateWord(const Row& row) {
    const QString& state = row.record.state;
    if (!row.unreadable.isEmpty()) {
        return QStringLiteral("无法读取");
    }
    if (row.stale) {
        return QStringLiteral("失联");
    }
    if (state == QLatin1String(kRunning)) {
        return QStringLiteral("答题中");
    }
    if (state == QLatin1String(kPaused)) {
        return QStringLiteral("暂停");
    }
    if (state == QLatin1String(kTimeUp)) {
        return QStringLiteral("时间到");
    }
    if (state == QLatin1String(kComplete)) {
        return QStringLiteral("完成");
    }
    if (state == QLatin1String(kClosed)) {
        return QStringLiteral("已关闭");
    }
    return state;
}

void VerifyRows(std::vector<Row>& rows, SourceTexts& sources, CheckCache* cache) {
    CheckCache seen;
    for (Row& row : rows) {
        if (!row.unreadable.isEmpty()) {
            continue; // nothing to replay: its row says why
        }
        const SourceTexts::Found found = sources.For(row.record);
        const Record& r = row.record;
        // Every write of a record changes its update time or what it counts.
        const QString key = QStringList{row.file,
                                        r.number,
                                        r.host,
                                        Iso(r.updated),
                                        r.state,
                                        r.elapsed,
                                        QString::number(r.changes),
                                        QString::number(r.score),
                                        r.sourceSha256,
                                        QString::number(r.answer.size())}
                                .join(QLatin1Char('|'));
        const auto known = cache != nullptr ? cache->find(key) : CheckCache::iterator{};
        Check check = cache != nullptr && known != cache->end()
                          ? known->second
                          : CheckRecord(row.record, found.text);
        seen[key] = check;
        // With the teacher's source given, it alone says which source is right,
        // not the folder's majority (which forged records could make).
        if (sources.givenReadable()) {
            row.otherSource = found.differsFromGiven;
        }
        for (const Flag flag : row.check.flags) {
            if (flag != Flag::SourceDiffers || !sources.givenReadable()) {
                check.Add(flag);
            }
        }
        if (row.otherSource) {
            check.Add(Flag::SourceDiffers);
        }
        row.check = check;
    }
    if (cache != nullptr) {
        *cache = std::move(seen); // records gone from the folder are forgotten
    }
}

QString FlagWords(const Row& row) {
    QStringList flags;
    for (const Flag flag : row.check.flags) {
        flags << (flag == Flag::Unreadable
                      ? QStringLiteral("%1（%2：%3）").arg(FlagWord(flag), row.file, row.unreadable)
                      : FlagWord(flag));
    }
    return flags.join(QStringLiteral("; "));
}

QString VerifiedWord(const Row& row) {
    switch (row.check.verified) {
    case Verified::Yes:
        return QStringLiteral("是");
    case Verified::No:
        return QStringLiteral("否");
    case Verified::Unknown:
        break;
    }
    return QStringLiteral("未知");
}

QString FormatTable(const std::vector<Row>& rows) {
    std::vector<QStringList> cells;
    cells.push_back(
        {QStringLiteral("学号"),     QStringLiteral("姓名"),     QStringLiteral("状态"),
         QStringLiteral("得分"),     QStringLiteral("速度"),     QStringLiteral("正确率"),
         QStringLiteral("击键"),     QStringLiteral("码长"),     QStringLiteral("回改"),
         QStringLiteral("完成用时"), QStringLiteral("正确汉字"), QStringLiteral("正确字符"),
         QStringLiteral("剩余时间"), QStringLiteral("已用时间"), QStringLiteral("时长"),
         QStringLiteral("暂停"),     QStringLiteral("更新"),     QStringLiteral("主机"),
         QStringLiteral("核验"),     QStringLiteral("标记")});
    for (const Row& row : rows) {
        const Record& r = row.record;
        const Measures& m = row.measures;
        cells.push_back({OneLine(r.number),
                         OneLine(r.name),
                         OneLine(StateWord(row)),
                         Count(row, r.score),
                         SpeedText(m.speed),
                         AccuracyText(m.accuracy),
                         FigureText(m.keysPerSecond),
                         FigureText(m.keysPerCharacter),
                         Corrections(m),
                         DurationText(m.completion),
                         Count(row, r.correctHanzi),
                         Count(row, r.correctAscii),
                         OneLine(r.remaining),
                         OneLine(r.elapsed),
                         OneLine(r.duration),
                         (row.unreadable.isEmpty() ? Pauses(r) : QString()),
                         TimeText(r.updated),
                         OneLine(r.host),
                         VerifiedWord(row),
                         FlagWords(row)});
    }
    std::vector<int> widths(std::size_t(cells.front().size()), 0);
    for (const QStringList& line : cells) {
        for (qsizetype c = 0; c < line.size(); ++c) {
            widths[std::size_t(c)] = std::max(widths[std::size_t(c)], Cells(line[c]));
        }
    }
    QString table;
    for (const QStringList& line : cells) {
        QString text;
        for (qsizetype c = 0; c < line.size(); ++c) {
            text += line[c];
            if (c + 1 < line.size()) {
                text += QString(widths[std::size_t(c)] - Cells(line[c]) + 2, QLatin1Char(' '));
            }
        }
        while (text.endsWith(QLatin1Char(' '))) {
            text.chop(1);
        }
        table += text + QLatin1Char('\n');
    }
    return table;
}

QString FormatSummary(const std::vector<Row>& rows) {
    int typing = 0;
    int paused = 0;
    int finished = 0;
    int silent = 0;
    for (const Row& row : rows) {
        const QString& state = row.record.state;
        if (row.stale) {
            ++silent;
        } else if (state == QLatin1String(kRunning)) {
            ++typing;
        } else if (state == QLatin1String(kPaused)) {
            ++paused;
        } else {
            ++finished;
        }
    }
    return QStringLiteral("共%1人：答题中%2，暂停%3，已结束%4，失联%5")
        .arg(rows.size())
        .arg(typing)
        .arg(paused)
        .arg(finished)
        .arg(silent);
}

QByteArray FormatCsv(const std::vector<Row>& rows) {
    QStringList lines;
    lines << QStringLiteral(
        "学号,姓名,状态,得分,速度（字/"
        "分）,正确率,击键,码长,回改,完成用时,正确汉字,正确字符,剩余时间,已用时间,考试时长,"
        "暂停次数,暂停秒数,改动次数,开始时间,更新时间,主机,用户,原文,"
        "原文SHA-256,核验,标记,文件");
    for (const Row& row : rows) {
        const Record& r = row.record;
        const Measures& m = row.measures;
        const QStringList fields{r.number,
                                 r.name,
                                 StateWord(row),
                                 Count(row, r.score),
                                 SpeedText(m.speed),
                                 AccuracyText(m.accuracy),
                                 FigureText(m.keysPerSecond),
                                 FigureText(m.keysPerCharacter),
                                 Corrections(m),
                                 DurationText(m.completion),
                                 Count(row, r.correctHanzi),
                                 Count(row, r.correctAscii),
                                 r.remaining,
                                 r.elapsed,
                                 r.duration,
                                 Count(row, r.pauses),
                                 Count(row, r.pauseSeconds),
                                 Count(row, r.changes),
                                 Iso(r.start),
                                 Iso(r.updated),
                                 r.host,
                                 r.user,
                                 r.sourcePath,
                                 r.sourceSha256,
                                 VerifiedWord(row),
                                 FlagWords(row),
                                 row.file};
        QStringList quoted;
        for (const QString& field : fields) {
            quoted << CsvField(field);
        }
        // The student number always quoted: a spreadsheet told to take quoted
        // fields as text keeps 01 as 01.
        if (!quoted.front().startsWith(QLatin1Char('"'))) {
            quoted.front() = QLatin1Char('"') + quoted.front() + QLatin1Char('"');
        }
        lines << quoted.join(QLatin1Char(','));
    }
    return QByteArray("\xEF\xBB\xBF") + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

QByteArray FormatJson(const std::vector<Row>& rows) {
    QJsonArray array;
    for (const Row& row : rows) {
        const Record& r = row.record;
        QJsonArray flags;
        for (const Flag flag : row.check.flags) {
            flags.append(FlagId(flag));
        }
        const std::optional<qint64> duration = DurationMs(r.duration);
        QJsonObject object{
            {"number", r.number},
            {"name", r.name},
            {"host", r.host},
            {"user", r.user},
            {"state", r.state},
            {"score", r.score},
            {"correctAscii", r.correctAscii},
            {"correctHanzi", r.correctHanzi},
            {"elapsed", r.elapsed},
            {"remaining", r.remaining},
            {"duration", r.duration},
            {"changes", r.changes},
            {"pauses", r.pauses},
            {"pauseSeconds", r.pauseSeconds},
            {"start", Iso(r.start)},
            {"updated", Iso(r.updated)},
            {"sourcePath", r.sourcePath},
            {"sourceSha256", r.sourceSha256},
            {"schema", r.schema},
            {"file", row.file},
            {"unreadable", row.unreadable.isEmpty() ? QJsonValue() : QJsonValue(row.unreadable)},
            {"durationSeconds", duration ? QJsonValue(double(*duration) / 1000.0) : QJsonValue()},
            {"verified", VerifiedId(row.check.verified)},
            {"flags", flags},
            {"disagreements", QJsonArray::fromStringList(row.check.disagreements)},
            {"characters", qint64(row.check.pace.characters)},
            {"keyPresses", qint64(r.hasLog ? r.log.keyPresses : -1)},
            {"speed", Rounded(row.measures.speed, 10)},
            {"accuracy", Rounded(row.measures.accuracy, 1000)},
            {"keysPerSecond", Rounded(row.measures.keysPerSecond, 100)},
            {"keysPerCharacter", Rounded(row.measures.keysPerCharacter, 100)},
            {"corrections", row.measures.typed + row.measures.removed > 0
                                ? QJsonValue(qint64(row.measures.removed))
                                : QJsonValue()},
            {"examSeconds", row.measures.examMs > 0
                                ? QJsonValue(double(row.measures.examMs) / 1000.0)
                                : QJsonValue()},
            {"completionSeconds", row.measures.completion
                                      ? QJsonValue(double(*row.measures.completion) / 1000.0)
                                      : QJsonValue()},
        };
        array.append(object);
    }
    // Control characters are escaped by JSON itself; C1 controls, DEL and
    // bidirectional controls are escaped too, so the output is safe to show.
    const QString json = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    QString safe;
    safe.reserve(json.size());
    for (const QChar ch : json) {
        const char16_t c = ch.unicode();
        if (c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
            (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 ||
            c == 0x2029) {
            safe += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        } else {
            safe += ch;
        }
    }
    return safe.toUtf8();
}

} // namespace qarvel::results
