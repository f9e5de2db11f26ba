#pragma once

#include "Speed.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The pictures of the class report, as SVG to be placed inside an HTML page:
// they take the page's fonts and need nothing from outside the file.
namespace qarvel::results::svg {

// Text and attribute values made safe for XML: & < > " ' as entities, control
// characters (which XML 1.0 cannot hold) as U+FFFD.
QString Escape(const QString& text);

// Tick values from 0 for an axis up to at least `max`: steps of 1, 2 or 5
// times a power of ten, about `wanted` of them. At least 0 and one step.
std::vector<double> Ticks(double max, int wanted = 5);

// The count of scores in each tenth: 0-9, 10-19, ..., 90-100 (100 joins the
// last; below 0 the first, above 100 the last).
std::vector<int> ScoreBins(const std::vector<int>& scores);

// A bar chart of ScoreBins.
QString Histogram(const std::vector<int>& scores);

// One examinee in the speed-against-accuracy picture.
struct ScatterPoint {
    double accuracy = 0; // 0 to 1
    double speed = 0;    // characters a minute
    QString label;       // shown beside the point on the screen
    QString title;       // shown when pointed at
    QString name;        // shown beside the point on paper (class "dotname")
};
// Accuracy runs from the tenth below the least accurate point (90% at most)
// to 100%; labels are shown for up to 30 points (all have their title),
// names for up to 60.
QString Scatter(const std::vector<ScatterPoint>& points);

// One examinee's characters over time: the curve, the pauses as shaded bands.
// Time runs from the login to `endMs`, characters from 0 to `maxCharacters`
// (the same for the whole class, so curves compare).
QString Curve(const std::vector<CurvePoint>& curve, const std::vector<PauseSpan>& pauses,
              std::int64_t endMs, std::int64_t maxCharacters);

// At most two points for each horizontal pixel of a curve drawn `width`
// pixels wide over `endMs`: the lowest and the last, so that deletions still show.
std::vector<CurvePoint> Thin(const std::vector<CurvePoint>& curve, std::int64_t endMs, int width);

} // namespace qarvel::results::svg
