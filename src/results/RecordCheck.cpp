#include "RecordCheck.h"

#include "BoundedRead.h"
#include "exam/ExamReplay.h"
#include "exam/Gbk.h"
#include "exam/SourceFile.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <algorithm>
#include <exception>

namespace qarvel::results {

QString FlagId(Flag flag) {
    switch (flag) {
    case Flag::Unreadable:
        return QStringLiteral("unreadable");
    case Flag::ImplausibleLog:
        return QStringLiteral("implausible-log");
    case Flag::SameLog:
        return QStringLiteral("same-log");
    case Flag::NumberFormat:
        return QStringLiteral("number-format");
    case Flag::DurationDiffers:
        return QStringLiteral("duration-differs");
    case Flag::NotVerified:
        return QStringLiteral("not-verified");
    case Flag::NoEvents:
        return QStringLiteral("no-events");
    case Flag::SourceMissing:
        return QStringLiteral("source-missing");
    case Flag::SourceDiffers:
        return QStringLiteral("source-differs");
    case Flag::ImplausibleSpeed:
        return QStringLiteral("implausible-speed");
    case Flag::OutsideExamTime:
        return QStringLiteral("outside-exam-time");
    case Flag::DuplicateNumber:
        return QStringLiteral("duplicate-number");
    case Flag::Stale:
        return QStringLiteral("stale");
    }
    return {};
}

QString FlagWord(Flag flag) {
    switch (flag) {
    case Flag::Unreadable:
        return QStringLiteral("无法读取");
    case Flag::ImplausibleLog:
        return QStringLiteral("记录超出考试时长所能");
    case Flag::SameLog:
        return QStringLiteral("输入记录相同");
    case Flag::NumberFormat:
        return QStringLiteral("学号或姓名含异常字符");
    case Flag::DurationDiffers:
        return QStringLiteral("考试时长不同");
    case Flag::NotVerified:
        return QStringLiteral("核验不符");
    case Flag::NoEvents:
        return QStringLiteral("无输入记录");
    case Flag::SourceMissing:
        return QStringLiteral("找不到原文");
    case Flag::SourceDiffers:
        return QStringLiteral("原文不同");
    case Flag::ImplausibleSpeed:
        return QStringLiteral("速度超出常人");
    case Flag::OutsideExamTime:
        return QStringLiteral("考试时间外输入");
    case Flag::DuplicateNumber:
        return QStringLiteral("学号重复");
    case Flag::Stale:
        return QStringLiteral("超过1分钟未更新");
    }
    return {};
}

QString VerifiedId(Verified verified) {
    switch (verified) {
    case Verified::Yes:
        return QStringLiteral("yes");
    case Verified::No:
        return QStringLiteral("no");
    case Verified::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

void Check::Add(Flag flag) {
    if (Has(flag)) {
        return;
    }
    flags.push_back(flag);
    std::sort(flags.begin(), flags.end());
}

bool Check::Has(Flag flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::optional<qint64> ClockSeconds(const QString& text) {
    static const QRegularExpression clock(QStringLiteral("^\\s*(\\d+)\\D(\\d+)\\D(\\d+)\\s*$"));
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    return m.captured(1).toLongLong() * 3600 + m.captured(2).toLongLong() * 60 +
           m.captured(3).toLongLong();
}

namespace {

class Comparison {
public:
    void Equal(const char* what, qint64 recorded, qint64 replayed) {
        if (recorded != replayed) {
            Differs(what, recorded, replayed);
        }
    }
    // The clocks count whole seconds on a timer: the record may be a second
    // either side, and a second behind for each pause (a tick that had not
    // come yet when the clock stopped).
    void Near(const char* what, const std::optional<qint64>& recorded, qint64 replayed,
              qint64 behind, qint64 ahead) {
        if (!recorded || *recorded < replayed - behind || *recorded > replayed + ahead) {
            Differs(what, recorded.value_or(-1), replayed);
        }
    }
    void True(const char* what, bool holds) {
        if (!holds) {
            list << QString::fromLatin1(what);
        }
    }
    void Differs(const char* what, qint64 recorded, qint64 replayed) {
        list << QStringLiteral("%1 %2/%3").arg(QLatin1String(what)).arg(recorded).arg(replayed);
    }
    QStringList list;
};

} // namespace

Check CheckRecord(const Record& r, const std::optional<std::string>& source) {
    Check check;
    if (r.logRefused) {
        // Not replayed: no exam of its duration could hold it.
        check.verified = Verified::No;
        check.Add(Flag::ImplausibleLog);
        check.Add(Flag::NotVerified);
        check.disagreements << QStringLiteral("log");
        return check;
    }
    if (!r.hasLog) {
        check.verified = Verified::No;
        check.Add(Flag::NoEvents);
        check.Add(Flag::NotVerified);
        check.disagreements << QStringLiteral("no log");
        if (!source) {
            check.Add(Flag::SourceMissing);
        }
        return check;
    }
    if (r.log.events.empty()) {
        check.Add(Flag::NoEvents);
    }
    check.pace = exam::MeasurePace(r.log);
    if (exam::ImplausiblePace(check.pace, r.log.keyPresses)) {
        check.Add(Flag::ImplausibleSpeed);
    }
    if (!source) {
        check.verified = Verified::Unknown;
        check.Add(Flag::SourceMissing);
        if (r.keysMalformed) {
            check.verified = Verified::No;
            check.Add(Flag::NotVerified);
            check.disagreements << QStringLiteral("keys");
        }
        return check;
    }

    const QByteArray duration = r.duration.toUtf8();
    const exam::ReplayResult replay = exam::ReplayExam(
        *source,
        exam::Utf8ToGbk(std::string_view(duration.constData(), std::size_t(duration.size()))),
        r.log, std::max<qint64>(r.loggedAt, 0));
    if (replay.outsideExamTime > 0) {
        check.Add(Flag::OutsideExamTime);
    }

    Comparison c;
    QString answer = r.answer;
    answer.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    answer.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QByteArray answerUtf8 = answer.toUtf8();
    c.True("answer", exam::Utf8ToGbk(std::string_view(
                         answerUtf8.constData(), std::size_t(answerUtf8.size()))) == replay.answer);
    c.Equal("correctAscii", r.correctAscii, replay.correctAscii);
    c.Equal("correctHanzi", r.correctHanzi, replay.correctHanzi);
    c.Equal("score", r.score, replay.score);
    c.Equal("changes", r.changes, replay.changes);
    c.Equal("pauses", r.pauses, replay.pauses);
    c.Equal("sourceTotal", r.sourceTotal, replay.sourceTotal);
    c.Equal("sourceAscii", r.sourceAscii, replay.sourceAscii);
    c.Equal("sourceHanzi", r.sourceHanzi, replay.sourceHanzi);
    const qint64 slack = 1 + replay.pauses;
    c.Near("elapsed", ClockSeconds(r.elapsed), replay.elapsedSeconds, slack, 1);
    c.Near("remaining", ClockSeconds(r.remaining), replay.remainingSeconds, 1, slack);
    c.Near("pauseSeconds", r.pauseSeconds, replay.pausedMs / 1000, slack, slack);
    c.True("time", r.loggedAt >= 0 && !replay.disordered);
    c.True("keys", !r.keysMalformed);

    // The state: what the window showed at the end of the replay.
    const bool nearTimeUp = replay.remainingSeconds <= 1;
    const QString& state = r.state;
    c.True("state", (state == QLatin1String(kComplete)) == replay.complete);
    if (state == QLatin1String(kRunning)) {
        c.True("state", !replay.readOnly || nearTimeUp);
    } else if (state == QLatin1String(kPaused)) {
        c.True("state", replay.readOnly && !replay.complete);
    } else if (state == QLatin1String(kTimeUp)) {
        c.True("state", (replay.readOnly || nearTimeUp) && replay.remainingSeconds <= 1);
    } else if (state != QLatin1String(kComplete) && state != QLatin1String(kClosed)) {
        c.True("state", false);
    }
    c.list.removeDuplicates();
    check.disagreements = c.list;
    check.verified = c.list.isEmpty() ? Verified::Yes : Verified::No;
    if (check.verified == Verified::No) {
        check.Add(Flag::NotVerified);
    } else if (r.log.keyPresses < 0) {
        // Without the key count the speed rule on keys could not be applied.
        check.verified = Verified::Unknown;
        check.disagreements << QStringLiteral("keys not counted");
    }
    return check;
}

SourceTexts::SourceTexts(const QString& given) : givenPath_(given) {
    if (!given.isEmpty()) {
        given_ = Read(given);
    }
}

std::optional<SourceTexts::Source> SourceTexts::Read(const QString& path) {
    // A record's source path is only a hint: a regular file within the cap, or nothing.
    const BoundedRead read = ReadBounded(path, kSourceCap, true);
    if (!read.ok) {
        return std::nullopt;
    }
    const QByteArray& bytes = read.bytes;
    Source source;
    source.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    try {
        source.text = exam::SourceTextFromBytes(
            std::string_view(bytes.constData(), std::size_t(bytes.size())));
    } catch (const std::exception&) {
        source.text.reset(); // the window could not load it either
    }
    return source;
}

SourceTexts::Found SourceTexts::For(const Record& record) {
    Found found;
    const QString sha = record.sourceSha256.toLower();
    if (given_) {
        if (!sha.isEmpty() && given_->sha256 == sha) {
            found.text = given_->text;
            return found;
        }
        found.differsFromGiven = true;
    }
    if (sha.isEmpty() || record.sourcePath.isEmpty()) {
        return found;
    }
    const QString key = sha + QLatin1Char('|') + record.sourcePath;
    auto it = byPath_.find(key);
    if (it == byPath_.end()) {
        std::optional<Source> read = Read(record.sourcePath);
        if (read && read->sha256 != sha) {
            read->text.reset(); // the text of a file that is not the record's source is not kept
        }
        it = byPath_.emplace(key, std::move(read)).first;
    }
    if (it->second && it->second->sha256 == sha) {
        found.text = it->second->text;
    }
    return found;
}

} // namespace qarvel::results
