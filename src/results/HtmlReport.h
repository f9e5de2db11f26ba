#pragma once

#include "Speed.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace qarvel::results {

// One examinee as the class report and the spreadsheet show them.
struct ReportRow {
    QString number;
    QString name;
    QString host;
    QString state;         // as the table shows it (完成, 时间到, ...)
    QString flags;         // the flags' words, "; " between; empty when none
    bool finished = false; // the exam is over: complete, time up or closed
    bool complete = false; // the whole source was typed
    int score = 0;
    int correctHanzi = 0;
    int correctAscii = 0;
    QString elapsed;         // the clock's text
    QString duration;        // the exam's duration as given at the login
    bool unreadable = false; // a file that is not a record: a row, but no figures
    Measures measures;
    std::vector<CurvePoint> curve;
    std::vector<PauseSpan> pauses;
    std::int64_t endMs = 0; // the last thing the log knows of
};

struct ClassReport {
    QString sourceName;    // the source's file name; empty when unknown
    QString sourceOpening; // the source text's first line (cut short); empty when unknown
    QDate date;            // the day of the exam: the earliest start
    QDateTime made;        // when the report was made
    bool sourceKnown = false;
    std::vector<ReportRow> rows; // in the order the table shows them
    // The source's characters typed wrong most often (UTF-8 text), most first.
    std::vector<std::pair<QString, int>> wrong;
};

struct Summary {
    int count = 0;
    int finished = 0;
    int complete = 0;
    std::optional<double> meanScore;
    std::optional<double> medianScore;
    std::optional<double> meanSpeed; // of the rows that have a speed
    std::optional<double> medianSpeed;
};
Summary Summarise(const std::vector<ReportRow>& rows);

// The median of `values` (the mean of the middle two for an even count).
std::optional<double> Median(std::vector<double> values);

// The texts the report, the table and the spreadsheet share: a speed to a
// tenth ("86.4"), an accuracy in percent to a tenth ("97.5%"), a duration
// "m:ss" or "h:mm:ss"; empty for none.
QString SpeedText(const std::optional<double>& speed);
QString AccuracyText(const std::optional<double>& accuracy);
QString DurationText(const std::optional<std::int64_t>& ms);

// The most wrong characters of a count by source character (GBK), most
// first, then in the source's byte order; at most `limit`.
std::vector<std::pair<QString, int>> MostWrong(const std::map<std::string, int>& counts,
                                               std::size_t limit = 30);

// The report as one HTML page (UTF-8): styles and pictures inside, nothing
// fetched, the system's fonts, a style sheet for A4 paper.
QByteArray ReportHtml(const ClassReport& report);

// Text for HTML: & < > " ' as entities, control characters replaced.
QString HtmlEscape(const QString& text);

} // namespace qarvel::results
