#pragma once

#include "HtmlReport.h"
#include "ResultsTable.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qarvel::results {

// One row of the report: the record's fields and the measures of its log.
ReportRow MakeReportRow(const Row& row);

// How the teacher wants the 成绩单.
struct ReportOptions {
    QString sourceName; // names the source; empty: the file name most records give
    Heading heading;
    RetakeRule retake = RetakeRule::Best;
    Counting counting;
    PassRule pass;
    std::optional<Roster> roster;
    int curves = 12; // typing curves shown; negative: all
    // Students of the roster without a record take their place by number;
    // otherwise they come after the others.
    bool byNumber = true;
};

// Where a row stands: counted, or why not (see Standing). Records the
// teacher counts (`counting`) stand as counted.
Standing StandingOf(const Row& row, const Counting& counting);

// The report of `rows` (in the order given). `sources` holds, per row, the
// source text its record was made on (GBK, as the exam window holds it) when
// that is known: the characters typed wrong are counted on it, for the
// records that stand. One record stands per student number (the retake
// rule); the rest go below the table. The rows that count are ranked and,
// with a pass rule, judged; so are the abandoned ones (their result is final).
ClassReport MakeClassReport(const std::vector<Row>& rows,
                            const std::vector<std::shared_ptr<const std::string>>& sources,
                            const ReportOptions& options, const QDateTime& now);

} // namespace qarvel::results
