#pragma once

#include "Grading.h"
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
    QString startTime;       // when the exam began, "HH:mm"
    bool unreadable = false; // a file that is not a record: a row, but no figures
    Measures measures;
    Standing standing = Standing::Counted;
    bool notOnRoster = false; // a roster was given and the number is not on it
    std::optional<int> rank;  // counted rows only
    std::optional<bool> pass; // with a pass rule: counted and abandoned rows
    std::vector<CurvePoint> curve;
    std::vector<PauseSpan> pauses;
    std::int64_t endMs = 0; // the last thing the log knows of
};

// What the teacher puts at the head of the 成绩单.
struct Heading {
    QString title; // the exam's name; empty: from the source's name
    QString school;
    QString className;
    QString teacher;
};

// A source character typed wrong, and what was typed instead, most first.
struct WrongCharacter {
    QString character;
    int count = 0;
    std::vector<std::pair<QString, int>> typedAs;
    bool operator==(const WrongCharacter&) const = default;
};

struct ClassReport {
    Heading heading;
    RetakeRule retake = RetakeRule::Best;
    Counting counting;
    PassRule pass;
    bool roster = false; // a roster was given
    // How many typing curves the page shows (the first in the table's
    // order); negative: all.
    int curves = 12;
    QString sourceName;    // the source's file name; empty when unknown
    QString sourceOpening; // the source text's first line (cut short); empty when unknown
    QDate date;            // the day of the exam: the earliest start
    QDateTime made;        // when the report was made
    bool sourceKnown = false;
    // One row per student, in the order the table shows them: the record
    // that stands, or 缺考 for a student of the roster without one.
    std::vector<ReportRow> rows;
    std::vector<ReportRow> retakes; // the records that do not stand, listed below
    // The source's characters typed wrong most often, most first.
    std::vector<WrongCharacter> wrong;
};

// The class in figures. Averages and medians are of the counted rows.
struct Summary {
    int count = 0;   // students with a record
    int absent = 0;  // on the roster without a record
    int counted = 0; // rows ranked and averaged
    int finished = 0;
    int complete = 0;
    int judged = 0;            // rows judged pass or fail (counted and abandoned)
    std::optional<int> passed; // with a pass rule: judged rows that pass
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
// as the exam's clock shows times with a tenth of a second ("00:00:33.5"); keys a
// second and keys a character to two places ("3.25"); empty for none.
QString SpeedText(const std::optional<double>& speed);
QString AccuracyText(const std::optional<double>& accuracy);
QString DurationText(const std::optional<std::int64_t>& ms);
QString FigureText(const std::optional<double>& value);

// The most wrong characters of a count by source character (GBK), most
// first, then in the source's byte order; at most `limit`, each with at most
// three characters typed instead.
std::vector<WrongCharacter> MostWrong(const std::map<std::string, WrongCount>& counts,
                                      std::size_t limit = 30);
// What the table says of a row besides its figures: why it is not counted,
// 不在名单上, its flags; "; " between.
QString NoteText(const ReportRow& row);

// What was typed instead of a wrong character: "师×2、是".
QString TypedAsText(const WrongCharacter& wrong);

// The report as one HTML page (UTF-8): styles and pictures inside, nothing
// fetched, the system's fonts, a style sheet for A4 paper.
QByteArray ReportHtml(const ClassReport& report);

// Text for HTML: & < > " ' as entities, control characters replaced.
QString HtmlEscape(const QString& text);

} // namespace qarvel::results
