#include "ClassReport.h"

#include "exam/Errors.h"
#include "exam/SourceFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <map>

namespace qarvel::results {

std::optional<KnownSource> LoadKnownSource(const QString& path, const QString& sha256) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (!sha256.isEmpty() &&
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) !=
            sha256.toLower()) {
        return std::nullopt;
    }
    return KnownSource{QFileInfo(path).fileName(),
                       exam::SourceTextFromBytes(std::string_view(bytes.constData(),
                                                                  std::size_t(bytes.size())))};
}

std::optional<KnownSource> FindRecordsSource(const std::vector<Row>& rows) {
    std::map<QString, int> count;
    const Record* usual = nullptr;
    for (const Row& row : rows) {
        const int n = ++count[row.record.sourceSha256];
        if (!row.record.sourceSha256.isEmpty() &&
            (usual == nullptr || n > count[usual->sourceSha256])) {
            usual = &row.record;
        }
    }
    if (usual == nullptr) {
        return std::nullopt;
    }
    // Any record of that source whose path still holds it will do.
    for (const Row& row : rows) {
        if (row.record.sourceSha256 == usual->sourceSha256) {
            if (auto source = LoadKnownSource(row.record.sourcePath, usual->sourceSha256)) {
                return source;
            }
        }
    }
    return std::nullopt;
}

ReportRow MakeReportRow(const Row& row, const exam::ExamLog& log) {
    const Record& r = row.record;
    ReportRow out;
    out.number = r.number;
    out.name = r.name;
    out.host = r.host;
    out.state = StateWord(row);
    out.flags = FlagWords(row);
    out.complete = r.state == QLatin1String(kComplete);
    out.finished = out.complete || r.state == QLatin1String(kTimeUp) ||
                   r.state == QLatin1String(kClosed);
    out.score = r.score;
    out.correctHanzi = r.correctHanzi;
    out.correctAscii = r.correctAscii;
    out.elapsed = r.elapsed;
    out.measures = Measure(log, {r.correctAscii + r.correctHanzi, out.complete,
                                 ClockSeconds(r.elapsed.toStdString())});
    out.curve = TypingCurve(log);
    // The curve runs to the last event, or as far as the clock ran after the
    // first change (paused time added back), whichever is later: an exam
    // ended by the clock ends at its time up.
    std::optional<std::int64_t> first;
    for (const exam::ExamEvent& e : log.events) {
        out.endMs = std::max(out.endMs, e.ms);
        if (!first && (e.kind == exam::ExamEvent::Kind::Append ||
                       e.kind == exam::ExamEvent::Kind::Remove)) {
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
                            const std::vector<const exam::ExamLog*>& logs,
                            const std::optional<KnownSource>& source, const QDateTime& now) {
    ClassReport report;
    report.made = now;
    report.sourceKnown = source.has_value();
    std::map<QString, int> names;
    std::map<std::string, int> wrong;
    const exam::ExamLog none;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const exam::ExamLog& log = i < logs.size() && logs[i] != nullptr ? *logs[i] : none;
        report.rows.push_back(MakeReportRow(rows[i], log));
        const Record& r = rows[i].record;
        if (r.start.isValid() && (!report.date.isValid() || r.start.date() < report.date)) {
            report.date = r.start.date();
        }
        ++names[QFileInfo(r.sourcePath).fileName()];
        if (source) {
            CountWrongCharacters(log, source->gbk, wrong);
        }
    }
    if (source) {
        report.sourceName = source->name;
    } else {
        int most = 0;
        for (const auto& [name, count] : names) {
            if (!name.isEmpty() && count > most) {
                report.sourceName = name;
                most = count;
            }
        }
    }
    report.wrong = MostWrong(wrong);
    return report;
}

} // namespace qarvel::results
