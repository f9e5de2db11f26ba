#include "ClassReport.h"

#include "Sorting.h"
#include "TextSafety.h"
#include "exam/Gbk.h"
#include "identity/Identity.h"

#include <QFileInfo>
#include <algorithm>
#include <map>
#include <set>

namespace qarvel::results {
namespace {

// The first line of a source (GBK) with text on it, at most 30 characters.
QString Opening(const std::string& source) {
    const QString text = QString::fromStdString(exam::GbkToUtf8(source));
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty()) {
            return trimmed.size() > 30 ? trimmed.left(30) + QStringLiteral("…") : trimmed;
        }
    }
    return {};
}

} // namespace

ReportRow MakeReportRow(const Row& row) {
    const Record& r = row.record;
    const exam::ExamLog& log = r.log;
    ReportRow out;
    // Hidden and reordering characters written out, so a number looks like what it is.
    out.number = VisiblyEscaped(r.number);
    out.name = VisiblyEscaped(r.name);
    out.host = VisiblyEscaped(r.host);
    out.duration = VisiblyEscaped(r.duration);
    out.unreadable = !row.unreadable.isEmpty();
    out.state = StateWord(row);
    out.flags = FlagWords(row);
    out.complete = r.state == QLatin1String(kComplete);
    out.finished =
        out.complete || r.state == QLatin1String(kTimeUp) || r.state == QLatin1String(kClosed);
    out.score = r.score;
    out.correctHanzi = r.correctHanzi;
    out.correctAscii = r.correctAscii;
    out.elapsed = r.elapsed;
    out.startTime = r.start.isValid() ? r.start.toString(QStringLiteral("HH:mm")) : QString();
    out.measures = row.measures;
    out.curve = TypingCurve(log);
    // The curve runs to the last event, or as far as the clock ran after the
    // first change (paused time added back), whichever is later: an exam
    // ended by the clock ends at its time up.
    std::optional<std::int64_t> first;
    for (const exam::ExamEvent& e : log.events) {
        out.endMs = std::max(out.endMs, e.ms);
        if (!first &&
            (e.kind == exam::ExamEvent::Kind::Append || e.kind == exam::ExamEvent::Kind::Remove)) {
            first = e.ms;
        }
    }
    out.pauses = Pauses(log, out.endMs);
    if (first && out.measures.examMs > 0) {
        std::int64_t paused = 0;
        for (const PauseSpan& p : out.pauses) {
            paused += p.from >= *first ? p.to - p.from : 0;
        }
        out.endMs = std::max(out.endMs, *first + out.measures.examMs + paused);
    }
    return out;
}

Standing StandingOf(const Row& row, const Counting& counting) {
    const QString& state = row.record.state;
    if (!row.unreadable.isEmpty()) {
        return Standing::Unreadable;
    }
    if (row.check.verified == Verified::No && !counting.unverified) {
        return Standing::Unverified;
    }
    if (row.stale) {
        return counting.lost ? Standing::Counted : Standing::Lost;
    }
    if (state == QLatin1String(kRunning) || state == QLatin1String(kPaused)) {
        return Standing::Running;
    }
    if (state == QLatin1String(kClosed) && !counting.abandoned) {
        return Standing::Abandoned;
    }
    return Standing::Counted;
}

ClassReport MakeClassReport(const std::vector<Row>& rows,
                            const std::vector<std::shared_ptr<const std::string>>& sources,
                            const ReportOptions& options, const QDateTime& now) {
    ClassReport report;
    report.made = now;
    report.sourceName = options.sourceName;
    report.heading = options.heading;
    report.retake = options.retake;
    report.counting = options.counting;
    report.pass = options.pass;
    report.roster = options.roster.has_value();
    report.curves = options.curves;

    std::vector<Attempt> attempts;
    std::map<QString, std::set<QString>> namesOf; // per number, the names it was given
    for (const Row& row : rows) {
        const Record& r = row.record;
        attempts.push_back({identity::NumberKey(r.number), r.score, row.measures.speed,
                            r.start.isValid() ? r.start.toMSecsSinceEpoch() : 0});
        namesOf[attempts.back().numberKey].insert(identity::NormalizedIdentity(r.name));
    }
    std::vector<bool> stands = ChooseAttempts(attempts, options.retake);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        stands[i] = stands[i] || !rows[i].unreadable.isEmpty(); // each file its own row
    }
    std::set<QString> onRoster;
    if (options.roster) {
        for (const RosterEntry& e : options.roster->entries) {
            onRoster.insert(identity::NumberKey(e.number));
        }
    }

    std::map<QString, int> names;
    std::map<std::string, WrongCount> wrong;
    std::set<QString> present;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ReportRow row = MakeReportRow(rows[i]);
        const Record& r = rows[i].record;
        const QString key = attempts[i].numberKey;
        // One student's retakes are no duplicate; two names on one number are.
        const auto& flags = rows[i].check.flags;
        if (namesOf[key].size() == 1 &&
            std::find(flags.begin(), flags.end(), Flag::DuplicateNumber) != flags.end()) {
            Row plain;
            plain.file = rows[i].file;
            plain.unreadable = rows[i].unreadable;
            for (const Flag flag : flags) {
                if (flag != Flag::DuplicateNumber) {
                    plain.check.Add(flag);
                }
            }
            row.flags = FlagWords(plain);
        }
        row.notOnRoster = options.roster && !row.unreadable && !onRoster.contains(key);
        // 已关闭 says what the window did; the 成绩单 says what the examinee did.
        if (r.state == QLatin1String(kClosed) && !rows[i].stale) {
            row.state = QStringLiteral("中途退出");
        }
        if (!stands[i]) {
            row.standing = Standing::Retake;
            report.retakes.push_back(row);
            continue;
        }
        present.insert(key);
        row.standing = StandingOf(rows[i], options.counting);
        report.rows.push_back(row);
        if (r.start.isValid() && (!report.date.isValid() || r.start.date() < report.date)) {
            report.date = r.start.date();
        }
        ++names[QFileInfo(r.sourcePath).fileName()];
        if (i < sources.size() && sources[i]) {
            if (!report.sourceKnown) {
                report.sourceOpening = Opening(*sources[i]);
            }
            report.sourceKnown = true;
            CountWrongCharacters(r.log, *sources[i], wrong);
        }
    }
    if (options.roster) {
        for (const RosterEntry& e : options.roster->entries) {
            if (!present.contains(identity::NumberKey(e.number))) {
                ReportRow absent;
                absent.number = e.number;
                absent.name = e.name;
                absent.state = QStringLiteral("缺考");
                absent.standing = Standing::Absent;
                report.rows.push_back(absent);
            }
        }
        if (options.byNumber) {
            std::stable_sort(report.rows.begin(), report.rows.end(),
                             [](const ReportRow& a, const ReportRow& b) {
                                 return CompareNaturally(identity::NumberKey(a.number),
                                                         identity::NumberKey(b.number)) < 0;
                             });
        }
    }

    std::vector<std::pair<int, std::optional<double>>> results;
    for (const ReportRow& row : report.rows) {
        if (row.standing == Standing::Counted) {
            results.emplace_back(row.score, row.measures.speed);
        }
    }
    const std::vector<int> ranks = Ranks(results);
    std::size_t next = 0;
    for (ReportRow& row : report.rows) {
        if (row.standing == Standing::Counted) {
            row.rank = ranks[next++];
        }
        if (row.standing == Standing::Counted || row.standing == Standing::Abandoned) {
            row.pass = Passes(options.pass, row.score, row.measures.speed);
        }
    }

    int most = 0;
    for (const auto& [name, count] : names) {
        if (report.sourceName.isEmpty() && !name.isEmpty() && count > most) {
            report.sourceName = name;
            most = count;
        }
    }
    report.wrong = MostWrong(wrong);
    return report;
}

} // namespace qarvel::results
