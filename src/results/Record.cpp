#include "Record.h"

#include "exam/ExamLogText.h"
#include "exam/Gbk.h"
#include "exam/TimeText.h"
#include "exam/TypingPace.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRandomGenerator>
#include <cmath>
#include <exception>

namespace qarvel::results {
namespace {

QString IsoWithOffset(const QDateTime& time) {
    if (!time.isValid()) {
        return {};
    }
    // Written with the offset even for UTC ("+00:00", not "Z"), so every record reads alike.
    const QDateTime fixed = time.toOffsetFromUtc(time.offsetFromUtc());
    QString text = fixed.toString(Qt::ISODate);
    if (text.endsWith(QLatin1Char('Z'))) {
        text.chop(1);
        text += QStringLiteral("+00:00");
    }
    return text;
}

int Int(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toInt();
}

QString Text(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString();
}

// Reads the log's events within what an exam of the record's duration can hold.
void ReadLog(const QJsonObject& log, Record& r) {
    const std::optional<qint64> duration = DurationMs(r.duration);
    const std::int64_t durationMs = duration.value_or(0);
    bool tooMany = false;
    const QByteArray text = log.value(QLatin1String("events")).toString().toUtf8();
    auto events = exam::DecodeEvents(std::string_view(text.constData(), std::size_t(text.size())),
                                     exam::MostEvents(durationMs), &tooMany);
    if (tooMany) {
        r.logRefused = true;
        return;
    }
    if (!events) {
        return;
    }
    r.hasLog = true;
    r.log.events = std::move(*events);
    // Nothing is typed before the login nor after the last event: the log's
    // own span bounds it as well as the duration does.
    const std::int64_t span = r.log.events.empty() ? 0 : r.log.events.back().ms + 1000;
    const std::int64_t within =
        durationMs > 0 ? std::min(durationMs, span) : std::min(exam::kLongestExamMs, span);
    if (std::int64_t(r.log.events.size()) > exam::MostEvents(within) ||
        exam::MeasurePace(r.log).characters > exam::MostCharacters(within)) {
        r.hasLog = false;
        r.logRefused = true;
        r.log.events = {};
        return;
    }
    const QJsonValue keys = log.value(QLatin1String("keys"));
    const double count = keys.toDouble(-2);
    r.keysMalformed = !keys.isDouble() || count < -1 || count != std::floor(count) || count > 1e15;
    r.log.keyPresses = r.keysMalformed ? -1 : std::int64_t(count);
    r.loggedAt = log.value(QLatin1String("at")).toInteger(-1);
}

} // namespace

std::optional<qint64> DurationMs(const QString& duration) {
    const QByteArray utf8 = duration.toUtf8();
    try {
        const double days = exam::ParseTimeText(
            exam::Utf8ToGbk(std::string_view(utf8.constData(), std::size_t(utf8.size()))));
        if (!std::isfinite(days) || days < 0 || days > 1) {
            return std::nullopt;
        }
        return qint64(std::llround(days * 86400.0 * 1000.0));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QString ProgramVersion() {
    return QStringLiteral("qarvel " QARVEL_VERSION);
}

QDateTime NowWithOffset() {
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now.toOffsetFromUtc(now.offsetFromUtc());
}

QByteArray ToJson(const Record& r) {
    QJsonObject source{{"path", r.sourcePath},
                       {"sha256", r.sourceSha256},
                       {"total", r.sourceTotal},
                       {"ascii", r.sourceAscii},
                       {"hanzi", r.sourceHanzi}};
    QJsonObject correct{{"ascii", r.correctAscii}, {"hanzi", r.correctHanzi}};
    QJsonObject pauses{{"count", r.pauses}, {"seconds", r.pauseSeconds}};
    QJsonObject root{{"schema", r.schema},
                     {"program", r.program},
                     {"host", r.host},
                     {"user", r.user},
                     {"name", r.name},
                     {"number", r.number},
                     {"duration", r.duration},
                     {"start", IsoWithOffset(r.start)},
                     {"updated", IsoWithOffset(r.updated)},
                     {"state", r.state},
                     {"remaining", r.remaining},
                     {"elapsed", r.elapsed},
                     {"source", source},
                     {"correct", correct},
                     {"score", r.score},
                     {"changes", r.changes},
                     {"pauses", pauses},
                     {"answer", r.answer}};
    if (r.hasLog) {
        const std::string events = exam::EncodeEvents(r.log.events);
        root.insert(
            QStringLiteral("log"),
            QJsonObject{{"at", r.loggedAt},
                        {"keys", qint64(r.log.keyPresses)},
                        {"events", QString::fromUtf8(events.data(), qsizetype(events.size()))}});
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Record> FromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    const int schema = Int(root, "schema");
    if (schema < 1 || schema > kSchemaVersion || !root.value(QLatin1String("number")).isString()) {
        return std::nullopt;
    }
    Record r;
    r.schema = schema;
    r.program = Text(root, "program");
    r.host = Text(root, "host");
    r.user = Text(root, "user");
    r.name = Text(root, "name");
    r.number = Text(root, "number");
    r.duration = Text(root, "duration");
    r.start = QDateTime::fromString(Text(root, "start"), Qt::ISODate);
    r.updated = QDateTime::fromString(Text(root, "updated"), Qt::ISODate);
    r.state = Text(root, "state");
    r.remaining = Text(root, "remaining");
    r.elapsed = Text(root, "elapsed");
    const QJsonObject source = root.value(QLatin1String("source")).toObject();
    r.sourcePath = Text(source, "path");
    r.sourceSha256 = Text(source, "sha256");
    r.sourceTotal = Int(source, "total");
    r.sourceAscii = Int(source, "ascii");
    r.sourceHanzi = Int(source, "hanzi");
    const QJsonObject correct = root.value(QLatin1String("correct")).toObject();
    r.correctAscii = Int(correct, "ascii");
    r.correctHanzi = Int(correct, "hanzi");
    r.score = Int(root, "score");
    r.changes = Int(root, "changes");
    const QJsonObject pauses = root.value(QLatin1String("pauses")).toObject();
    r.pauses = Int(pauses, "count");
    r.pauseSeconds = pauses.value(QLatin1String("seconds")).toInteger();
    r.answer = Text(root, "answer");
    // A log that does not read is no log: the record is then not verified.
    const QJsonObject log = root.value(QLatin1String("log")).toObject();
    if (schema >= 2 && log.value(QLatin1String("events")).isString()) {
        ReadLog(log, r);
    }
    return r;
}

QString SafeNamePart(const QString& text, int limit) {
    QString safe;
    bool gap = false;
    for (const QChar ch : text) {
        if (safe.size() >= limit) {
            break;
        }
        // Surrogate halves (characters beyond the first plane) are dropped:
        // they would be cut in two at the limit.
        if (ch.isLetterOrNumber() && !ch.isSurrogate()) {
            if (gap && !safe.isEmpty()) {
                safe += QLatin1Char('-');
                if (safe.size() >= limit) {
                    break;
                }
            }
            safe += ch;
            gap = false;
        } else {
            gap = true;
        }
    }
    return safe.isEmpty() ? QStringLiteral("-") : safe;
}

QString RandomNameTag() {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QString tag;
    for (int i = 0; i < 13; ++i) {
        tag += QLatin1Char(kDigits[QRandomGenerator::system()->bounded(36)]);
    }
    return tag;
}

QString RetaggedFileName(const QString& name) {
    QString base = name;
    if (base.endsWith(QStringLiteral(".json"))) {
        base.chop(5);
    }
    // number_name_start_host_tag: a tagged name has five parts.
    if (base.count(QLatin1Char('_')) >= 4) {
        base.truncate(base.lastIndexOf(QLatin1Char('_')));
    }
    return base + QLatin1Char('_') + RandomNameTag() + QStringLiteral(".json");
}

QString RecordFileName(const Record& r, const QString& tag) {
    const QDateTime start = r.start.toOffsetFromUtc(r.start.offsetFromUtc());
    const int offset = start.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    const QString rest = QLatin1Char('_') + start.toString(QStringLiteral("yyyyMMdd'T'HHmmss")) +
                         zone + QLatin1Char('_') + SafeNamePart(r.host, 48) +
                         (tag.isEmpty() ? QString() : QLatin1Char('_') + tag) +
                         QStringLiteral(".json");
    // Names of many-byte characters are cut to keep the whole within 255 bytes.
    const QString number = SafeNamePart(r.number);
    QString name = SafeNamePart(r.name);
    while (name.size() > 1 && (number + QLatin1Char('_') + name + rest).toUtf8().size() > 255) {
        name.chop(1);
    }
    return number + QLatin1Char('_') + name + rest;
}

} // namespace qarvel::results
