#pragma once

#include "HtmlReport.h"
#include "ResultsTable.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace qarvel::results {

// One row of the report: the record's fields and the measures of its log.
ReportRow MakeReportRow(const Row& row);

// The report of `rows` (in the order given). `sources` holds, per row, the
// source text its record was made on (GBK, as the exam window holds it) when
// that is known: the characters typed wrong are counted on it. `sourceName`
// names the source in the title; empty: the file name most records give.
ClassReport MakeClassReport(const std::vector<Row>& rows,
                            const std::vector<std::optional<std::string>>& sources,
                            const QString& sourceName, const QDateTime& now);

} // namespace qarvel::results
