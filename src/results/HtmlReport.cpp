#include "HtmlReport.h"

#include "SvgChart.h"
#include "exam/Gbk.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qarvel::results {
namespace {

// Fonts of the system only: the usual Chinese faces of Linux, Windows and macOS.
constexpr const char* kStyle = R"css(
:root { color-scheme: light; }
body { font-family: "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
       "Microsoft YaHei", "PingFang SC", "SimSun", sans-serif;
       margin: 24px auto; max-width: 1120px; padding: 0 16px; color: #1d2328; font-size: 14px; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 24px 0 8px; border-bottom: 1px solid #c9d1d9; padding-bottom: 4px; }
.meta { color: #57606a; margin: 0 0 12px; }
.opening { margin: 0 0 4px; font-size: 15px; }
.summary { display: flex; flex-wrap: wrap; gap: 8px; margin: 12px 0; padding: 0; }
.summary div { border: 1px solid #d0d7de; border-radius: 6px; padding: 6px 12px; min-width: 96px; }
.summary dt { color: #57606a; font-size: 12px; }
.summary dd { margin: 0; font-size: 20px; font-weight: 600; }
.charts { display: flex; flex-wrap: wrap; gap: 16px; }
figure { margin: 0; }
figcaption { font-size: 13px; color: #57606a; text-align: center; }
svg { font-family: inherit; }
svg .axis { font-size: 11px; fill: #57606a; }
svg .value { font-size: 11px; fill: #1d2328; }
svg .dotlabel { font-size: 9px; fill: #57606a; }
svg .grid { stroke: #e4e8ec; stroke-width: 1; }
svg .axisline { stroke: #8c959f; stroke-width: 1; }
svg .bar { fill: #4f81bd; }
svg .dot { fill: #c0504d; fill-opacity: 0.8; stroke: #fff; stroke-width: 1; }
svg .pause { fill: #f2c94c; fill-opacity: 0.45; }
svg .curve { fill: none; stroke: #2f6fb0; stroke-width: 1.5; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #d0d7de; padding: 3px 6px; text-align: left; white-space: nowrap; }
th { background: #f3f5f7; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
td.flags { white-space: normal; color: #b42318; font-weight: 600; }
tr.flagged td { background: #fff4f2; }
.wrong { display: flex; flex-wrap: wrap; gap: 6px; padding: 0; list-style: none; }
.wrong li { border: 1px solid #d0d7de; border-radius: 6px; padding: 2px 8px; }
.wrong b { font-size: 20px; margin-right: 4px; }
.curves { display: grid; grid-template-columns: repeat(auto-fill, minmax(300px, 1fr)); gap: 12px; }
.curves figcaption { text-align: left; }
.note { color: #57606a; font-size: 12px; }
@media print {
  @page { size: A4; margin: 12mm; }
  body { margin: 0; max-width: none; padding: 0; font-size: 10pt; }
  h2 { break-after: avoid; }
  thead { display: table-header-group; }
  tr, figure, .summary div, .wrong li { break-inside: avoid; }
  th, td { padding: 2px 4px; }
  tr.flagged td, th { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  .curves { grid-template-columns: repeat(2, 1fr); }
}
)css";

QString Number(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

QString Optional(const std::optional<double>& v, int decimals) {
    return v ? Number(*v, decimals) : QStringLiteral("—");
}

QString Cell(const QString& text, const char* cls = nullptr) {
    if (cls != nullptr) {
        return QStringLiteral("<td class=\"%1\">%2</td>").arg(QLatin1String(cls), HtmlEscape(text));
    }
    return QStringLiteral("<td>%1</td>").arg(HtmlEscape(text));
}

QString SummaryHtml(const Summary& s) {
    const auto item = [](const QString& term, const QString& value) {
        return QStringLiteral("<div><dt>%1</dt><dd>%2</dd></div>").arg(term, value);
    };
    return QStringLiteral("<dl class=\"summary\">") +
           item(QStringLiteral("人数"), QString::number(s.count)) +
           item(QStringLiteral("已结束"), QString::number(s.finished)) +
           item(QStringLiteral("完成全文"), QString::number(s.complete)) +
           item(QStringLiteral("平均得分"), Optional(s.meanScore, 1)) +
           item(QStringLiteral("得分中位数"), Optional(s.medianScore, 1)) +
           item(QStringLiteral("平均速度（字/分）"), Optional(s.meanSpeed, 1)) +
           item(QStringLiteral("速度中位数（字/分）"), Optional(s.medianSpeed, 1)) +
           QStringLiteral("</dl>");
}

// A count in the table; nothing for a file that is not a record.
QString Count(const ReportRow& r, int value) {
    return r.unreadable ? QString() : QString::number(value);
}

QString TableHtml(const std::vector<ReportRow>& rows) {
    QString out = QStringLiteral(
        "<table class=\"results\"><thead><tr><th>学号</th><th>姓名</th><th>状态</th>"
        "<th>得分</th><th>速度（字/分）</th><th>正确率</th><th>完成用时</th><th>正确汉字</th>"
        "<th>正确字符</th><th>已用时间</th><th>时长</th><th>标记</th></tr></thead><tbody>");
    for (const ReportRow& r : rows) {
        out +=
            r.flags.isEmpty() ? QStringLiteral("<tr>") : QStringLiteral("<tr class=\"flagged\">");
        out += Cell(r.number) + Cell(r.name) + Cell(r.state) + Cell(Count(r, r.score), "num") +
               Cell(SpeedText(r.measures.speed), "num") +
               Cell(AccuracyText(r.measures.accuracy), "num") +
               Cell(DurationText(r.measures.completion), "num") +
               Cell(Count(r, r.correctHanzi), "num") + Cell(Count(r, r.correctAscii), "num") +
               Cell(r.elapsed, "num") + Cell(r.duration, "num") + Cell(r.flags, "flags");
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</tbody></table>");
}

QString CurvesHtml(const std::vector<ReportRow>& rows) {
    std::int64_t end = 0;
    std::int64_t most = 0;
    for (const ReportRow& r : rows) {
        end = std::max(end, r.endMs);
        for (const CurvePoint& p : r.curve) {
            most = std::max(most, p.characters);
        }
    }
    QString out = QStringLiteral("<div class=\"curves\">");
    for (const ReportRow& r : rows) {
        if (r.unreadable) {
            continue;
        }
        out += QStringLiteral("<figure>") + svg::Curve(r.curve, r.pauses, end, most) +
               QStringLiteral("<figcaption>%1 %2 · %3分 · %4 字/分</figcaption></figure>")
                   .arg(HtmlEscape(r.number), HtmlEscape(r.name))
                   .arg(r.score)
                   .arg(SpeedText(r.measures.speed).isEmpty() ? QStringLiteral("—")
                                                              : SpeedText(r.measures.speed));
    }
    return out + QStringLiteral("</div>");
}

QString WrongHtml(const ClassReport& report) {
    if (!report.sourceKnown) {
        return QStringLiteral("<p class=\"note\">没有原文（用 --source 指定原文文件），"
                              "无法统计打错的字。</p>");
    }
    if (report.wrong.empty()) {
        return QStringLiteral("<p class=\"note\">没有打错的字。</p>");
    }
    QString out = QStringLiteral("<ol class=\"wrong\">");
    for (const auto& [character, count] : report.wrong) {
        out += QStringLiteral("<li><b>%1</b>%2次</li>").arg(HtmlEscape(character)).arg(count);
    }
    return out + QStringLiteral("</ol>");
}

} // namespace

QString HtmlEscape(const QString& text) {
    return svg::Escape(text);
}

std::optional<double> Median(std::vector<double> values) {
    if (values.empty()) {
        return std::nullopt;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

Summary Summarise(const std::vector<ReportRow>& rows) {
    Summary s;
    s.count = int(
        std::count_if(rows.begin(), rows.end(), [](const ReportRow& r) { return !r.unreadable; }));
    std::vector<double> scores;
    std::vector<double> speeds;
    for (const ReportRow& r : rows) {
        if (r.unreadable) {
            continue;
        }
        s.finished += r.finished ? 1 : 0;
        s.complete += r.complete ? 1 : 0;
        scores.push_back(r.score);
        if (r.measures.speed) {
            speeds.push_back(*r.measures.speed);
        }
    }
    const auto mean = [](const std::vector<double>& v) -> std::optional<double> {
        if (v.empty()) {
            return std::nullopt;
        }
        return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    };
    s.meanScore = mean(scores);
    s.medianScore = Median(scores);
    s.meanSpeed = mean(speeds);
    s.medianSpeed = Median(speeds);
    return s;
}

QString SpeedText(const std::optional<double>& speed) {
    return speed ? Number(*speed, 1) : QString();
}

QString AccuracyText(const std::optional<double>& accuracy) {
    return accuracy ? Number(*accuracy * 100, 1) + QLatin1Char('%') : QString();
}

QString DurationText(const std::optional<std::int64_t>& ms) {
    if (!ms) {
        return {};
    }
    const std::int64_t seconds = (*ms + 500) / 1000;
    const std::int64_t h = seconds / 3600;
    const std::int64_t m = seconds / 60 % 60;
    const std::int64_t s = seconds % 60;
    const QChar zero = QLatin1Char('0');
    if (h > 0) {
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, zero).arg(s, 2, 10, zero);
    }
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, zero);
}

std::vector<std::pair<QString, int>> MostWrong(const std::map<std::string, int>& counts,
                                               std::size_t limit) {
    std::vector<std::pair<std::string, int>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::pair<QString, int>> out;
    for (std::size_t i = 0; i < sorted.size() && i < limit; ++i) {
        out.emplace_back(QString::fromStdString(exam::GbkToUtf8(sorted[i].first)),
                         sorted[i].second);
    }
    return out;
}

QByteArray ReportHtml(const ClassReport& report) {
    const QString source =
        report.sourceName.isEmpty() ? QStringLiteral("（原文未知）") : report.sourceName;
    const QString title = QStringLiteral("打字考试成绩报告：%1").arg(source);
    std::vector<int> scores;
    std::vector<svg::ScatterPoint> points;
    for (const ReportRow& r : report.rows) {
        if (r.unreadable) {
            continue;
        }
        scores.push_back(r.score);
        if (r.measures.speed && r.measures.accuracy) {
            points.push_back({*r.measures.accuracy, *r.measures.speed, r.number,
                              QStringLiteral("%1 %2：%3 字/分，正确率 %4")
                                  .arg(r.number, r.name, SpeedText(r.measures.speed),
                                       AccuracyText(r.measures.accuracy))});
        }
    }
    QString html =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>%1</title><style>")
            .arg(HtmlEscape(title));
    html += QString::fromUtf8(kStyle);
    html +=
        QStringLiteral("</style></head><body><header><h1>%1</h1>%4<p class=\"meta\">考试日期：%2"
                       " · 报告生成：%3</p></header>")
            .arg(HtmlEscape(title),
                 report.date.isValid() ? report.date.toString(QStringLiteral("yyyy-MM-dd"))
                                       : QStringLiteral("—"),
                 report.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                 report.sourceOpening.isEmpty() ? QString()
                                                : QStringLiteral("<p class=\"opening\">%1</p>")
                                                      .arg(HtmlEscape(report.sourceOpening)));
    html += QStringLiteral("<section><h2>概况</h2>") + SummaryHtml(Summarise(report.rows)) +
            QStringLiteral("</section>");
    html +=
        QStringLiteral("<section><h2>图表</h2><div class=\"charts\"><figure>") +
        svg::Histogram(scores) +
        QStringLiteral("<figcaption>得分分布（人数）</figcaption>"
                       "</figure><figure>") +
        svg::Scatter(points) +
        QStringLiteral(
            "<figcaption>速度与正确率（每点一人；人少时旁边标出学号，指向点可看姓名）</figcaption>"
            "</figure></div></section>");
    html += QStringLiteral("<section><h2>最常打错的字</h2>") + WrongHtml(report) +
            QStringLiteral("</section>");
    html += QStringLiteral("<section><h2>成绩表</h2>") + TableHtml(report.rows) +
            QStringLiteral("<p class=\"note\">速度：正确字数 ÷ 考试用时（分钟，暂停不计）；"
                           "正确率：正确字数 ÷ 打过的字数（删掉的字也算打过）。</p></section>");
    html += QStringLiteral("<section><h2>打字曲线</h2><p class=\"note\">答案里的字数随时间的变化"
                           "：横轴是从登录算起的分钟，纵轴是字数，黄色是暂停。</p>") +
            CurvesHtml(report.rows) + QStringLiteral("</section>");
    html += QStringLiteral("</body></html>\n");
    return html.toUtf8();
}

} // namespace qarvel::results
