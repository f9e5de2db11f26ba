#include "ClassReport.h"

#include "TextSafety.h"
#include "exam/Gbk.h"

#include <QFileInfo>
#include <map>

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

ClassReport MakeClassReport(const std::vector<Row>& rows,
                            const std::vector<std::optional<std::string>>& sources,
                            const QString& sourceName, const QDateTime& now) {
    ClassReport report;
    report.made = now;
    report.sourceName = sourceName;
    std::map<QString, int> names;
    std::map<std::string, int> wrong;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        report.rows.push_back(MakeReportRow(rows[i]));
        const Record& r = rows[i].record;
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
