#pragma once

#include "HtmlReport.h"
#include "ResultsTable.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace qarvel::results {

// A source text as the exam showed it (GBK, CR LF), with its file's name.
struct KnownSource {
    QString name;
    std::string gbk;
};

// Loads the source file at `path`; when `sha256` is not empty the file's
// SHA-256 (hex) must match it. Nothing when the file cannot be read or differs.
std::optional<KnownSource> LoadKnownSource(const QString& path, const QString& sha256 = {});

// The source most records were made on, from the path they give, when that
// file is still there with the same SHA-256.
std::optional<KnownSource> FindRecordsSource(const std::vector<Row>& rows);

// One row of the report: the record's fields and the measures of its log.
ReportRow MakeReportRow(const Row& row, const exam::ExamLog& log);

// The report of `rows` (in the order given) with their logs (one per row);
// the wrong characters when the source is known.
ClassReport MakeClassReport(const std::vector<Row>& rows,
                            const std::vector<const exam::ExamLog*>& logs,
                            const std::optional<KnownSource>& source, const QDateTime& now);

} // namespace qarvel::results
