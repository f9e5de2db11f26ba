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
td.flags { white-space: normal; color: #b42318; font-weight: 600; min-width: 10em; }
tr.flagged td { background: #fff4f2; }
.wrong { display: flex; flex-wrap: wrap; gap: 6px; padding: 0; list-style: none; }
.wrong li { border: 1px solid #d0d7de; border-radius: 6px; padding: 2px 8px; }
.wrong b { font-size: 20px; margin-right: 4px; }
.curves { display: grid; grid-template-columns: repeat(auto-fill, minmax(300px, 1fr)); gap: 12px; }
.curves figcaption { text-align: left; }
.note { color: #57606a; font-size: 12px; }
.school { margin: 0; font-size: 15px; }
.rules { color: #57606a; font-size: 12px; margin: 6px 0 0; padding-left: 18px; }
.rules li { margin: 1px 0; }
.wrong .as { color: #57606a; margin-left: 4px; }
td.fail { color: #b42318; font-weight: 600; }
tr.aside td { color: #6e7781; }
.sign { display: flex; gap: 64px; margin: 28px 0 8px; font-size: 15px; }
.sign span { display: inline-block; min-width: 150px; border-bottom: 1px solid #1d2328; }
svg .dotname { display: none; font-size: 8px; fill: #1d2328; }
@page { size: A4; margin: 12mm 12mm 15mm;
  @bottom-center { content: "第 " counter(page) " 页，共 " counter(pages) " 页";
                   font-family: "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
                                "Microsoft YaHei", "PingFang SC", "SimSun", sans-serif;
                   font-size: 9pt; color: #57606a; } }
@media print {
  body { margin: 0; max-width: none; padding: 0; font-size: 9.5pt; }
  h1 { font-size: 17pt; }
  h2 { font-size: 12pt; margin: 12px 0 6px; break-after: avoid; }
  .summary { margin: 6px 0; }
  .summary { gap: 4px; }
  .summary div { padding: 1px 6px; min-width: 0; }
  .summary dt { font-size: 7.5pt; }
  .summary dd { font-size: 11pt; }
  thead { display: table-header-group; }
  tr, figure, .summary div, .wrong li, .sign { break-inside: avoid; }
  th, td { padding: 1px 4px; }
  tr.flagged td, th { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  .charts-part { break-before: page; }
  .screen-only, svg .dotlabel { display: none; }
  svg .dotname { display: inline; }
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

QString SummaryHtml(const Summary& s, bool roster) {
    const auto item = [](const QString& term, const QString& value) {
        return QStringLiteral("<div><dt>%1</dt><dd>%2</dd></div>").arg(term, value);
    };
    QString out = QStringLiteral("<dl class=\"summary\">");
    if (roster) {
        out += item(QStringLiteral("应考"), QString::number(s.count + s.absent)) +
               item(QStringLiteral("缺考"), QString::number(s.absent));
    }
    out += item(QStringLiteral("参加"), QString::number(s.count)) +
           item(QStringLiteral("计入成绩"), QString::number(s.counted)) +
           item(QStringLiteral("完成全文"), QString::number(s.complete));
    if (s.passed) {
        out += item(QStringLiteral("及格"), s.judged > 0
                                                ? QStringLiteral("%1（%2%）")
                                                      .arg(*s.passed)
                                                      .arg(Number(100.0 * *s.passed / s.judged, 0))
                                                : QString::number(*s.passed));
    }
    return out + item(QStringLiteral("平均得分"), Optional(s.meanScore, 1)) +
           item(QStringLiteral("得分中位数"), Optional(s.medianScore, 1)) +
           item(QStringLiteral("平均速度（字/分）"), Optional(s.meanSpeed, 1)) +
           item(QStringLiteral("速度中位数（字/分）"), Optional(s.medianSpeed, 1)) +
           QStringLiteral("</dl>");
}

// Why a row is not counted, in the words of the table; empty when it is.
QString StandingNote(const ReportRow& r) {
    switch (r.standing) {
    case Standing::Counted:
        return {};
    case Standing::Retake:
        return QStringLiteral("另有一次成绩计入");
    case Standing::Running:
        return QStringLiteral("未结束，不计入");
    case Standing::Abandoned:
        return QStringLiteral("不计入");
    case Standing::Lost:
        return QStringLiteral("失联，不计入");
    case Standing::Unverified:
        return QStringLiteral("未通过核验，不计入");
    case Standing::Unreadable:
        return QStringLiteral("无法读取，不计入");
    case Standing::Absent:
        return {};
    }
    return {};
}

} // namespace

QString NoteText(const ReportRow& r) {
    QStringList notes;
    if (const QString standing = StandingNote(r); !standing.isEmpty()) {
        notes << standing;
    }
    if (r.notOnRoster) {
        notes << QStringLiteral("不在名单上");
    }
    if (!r.flags.isEmpty()) {
        notes << r.flags;
    }
    return notes.join(QStringLiteral("; "));
}

namespace {

QString ExamTime(const ReportRow& r) {
    return r.measures.examMs > 0 ? DurationText(r.measures.examMs) : QString();
}

// The figures of a row, from 得分 to 用时.
QString Figures(const ReportRow& r) {
    const Measures& m = r.measures;
    return Cell(QString::number(r.score), "num") + Cell(SpeedText(m.speed), "num") +
           Cell(AccuracyText(m.accuracy), "num") + Cell(FigureText(m.keysPerSecond), "num") +
           Cell(FigureText(m.keysPerCharacter), "num") +
           Cell(m.typed + m.removed > 0 ? QString::number(m.removed) : QString(), "num") +
           Cell(ExamTime(r), "num");
}

const char* kFigureHeads = "<th>得分</th><th>速度</th><th>正确率</th><th>击键</th>"
                           "<th>码长</th><th>回改</th><th>用时</th>";

QString TableHtml(const ClassReport& report) {
    const bool pass = report.pass.any();
    QString out = QStringLiteral("<table class=\"results\"><thead><tr><th>名次</th><th>学号</th>"
                                 "<th>姓名</th><th>状态</th>") +
                  QString::fromUtf8(kFigureHeads) +
                  (pass ? QStringLiteral("<th>及格</th>") : QString()) +
                  QStringLiteral("<th>备注</th></tr></thead><tbody>");
    for (const ReportRow& r : report.rows) {
        const bool flagged = !r.flags.isEmpty() || r.notOnRoster;
        out += flagged ? QStringLiteral("<tr class=\"flagged\">")
                       : (r.standing == Standing::Counted ? QStringLiteral("<tr>")
                                                          : QStringLiteral("<tr class=\"aside\">"));
        out += Cell(r.rank ? QString::number(*r.rank) : QString(), "num") + Cell(r.number) +
               Cell(r.name) + Cell(r.state);
        if (r.standing == Standing::Absent || r.unreadable) {
            out += QStringLiteral("<td colspan=\"7\"></td>");
        } else {
            out += Figures(r);
        }
        if (pass) {
            out += !r.pass ? Cell(QString())
                           : (*r.pass ? Cell(QStringLiteral("及格"))
                                      : Cell(QStringLiteral("不及格"), "fail"));
        }
        out += Cell(NoteText(r), "flags");
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</tbody></table>");
}

QString RetakesHtml(const ClassReport& report) {
    if (report.retakes.empty()) {
        return {};
    }
    QString out =
        QStringLiteral("<h2>其他考试记录（不计入）</h2><table class=\"results\"><thead><tr>"
                       "<th>学号</th><th>姓名</th><th>开始</th><th>状态</th>") +
        QString::fromUtf8(kFigureHeads) + QStringLiteral("<th>备注</th></tr></thead><tbody>");
    for (const ReportRow& r : report.retakes) {
        out += QStringLiteral("<tr class=\"aside\">") + Cell(r.number) + Cell(r.name) +
               Cell(r.startTime) + Cell(r.state) + Figures(r) + Cell(NoteText(r), "flags") +
               QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</tbody></table>");
}

// The rules the table was made by, in the teacher's words.
QString RulesHtml(const ClassReport& report) {
    QStringList rules;
    rules << QStringLiteral("名次：按得分排，得分相同按速度；得分和速度都相同的名次相同。");
    rules << (report.retake == RetakeRule::Best
                  ? QStringLiteral("一人考了多次的，取最好的一次（得分最高，再比速度），"
                                   "其余列在表下，不计入。")
                  : QStringLiteral("一人考了多次的，取最后一次，其余列在表下，不计入。"));
    QStringList out;
    QStringList in;
    (report.counting.abandoned ? in : out) << QStringLiteral("中途退出");
    (report.counting.lost ? in : out) << QStringLiteral("失联");
    (report.counting.unverified ? in : out) << QStringLiteral("未通过核验");
    out << QStringLiteral("未结束");
    QString counting =
        QStringLiteral("%1的记录照列，不排名次，不计入平均").arg(out.join(QChar(0x3001)));
    if (!in.isEmpty()) {
        counting += QStringLiteral("；%1的记录按教师要求计入").arg(in.join(QChar(0x3001)));
    }
    rules << counting + QStringLiteral("。");
    if (report.pass.any()) {
        QStringList parts;
        if (report.pass.score) {
            parts << QStringLiteral("得分不低于 %1").arg(*report.pass.score);
        }
        if (report.pass.speed) {
            parts << QStringLiteral("速度不低于 %1 字/分").arg(SpeedText(report.pass.speed));
        }
        rules << QStringLiteral("及格：%1；中途退出的也判及格与否，及格率按判过的人数算。")
                     .arg(parts.join(QStringLiteral("，且")));
    }
    rules << QStringLiteral("速度（字/分）：正确字数 ÷ 用时（分钟）；正确率：正确字数 ÷ 打过的字数"
                            "（删掉的字也算打过）；击键：每秒按键次数；码长：每打一个字的按键次数；"
                            "回改：删掉的字数。");
    rules << QStringLiteral("用时：从第一次改动答案到最后一次改动，暂停不计；"
                            "没打完的考试也只算到最后一次改动，不算到关闭或时间到。");
    QString html = QStringLiteral("<ul class=\"rules\">");
    for (const QString& rule : rules) {
        html += QStringLiteral("<li>%1</li>").arg(HtmlEscape(rule));
    }
    return html + QStringLiteral("</ul>");
}

QString CurvesHtml(const ClassReport& report) {
    std::vector<const ReportRow*> rows;
    int left = 0;
    for (const ReportRow& r : report.rows) {
        if (r.standing == Standing::Absent || r.unreadable) {
            continue;
        }
        if (report.curves < 0 || int(rows.size()) < report.curves) {
            rows.push_back(&r);
        } else {
            ++left;
        }
    }
    std::int64_t end = 0;
    std::int64_t most = 0;
    for (const ReportRow* row : rows) {
        const ReportRow& r = *row;
        end = std::max(end, r.endMs);
        for (const CurvePoint& p : r.curve) {
            most = std::max(most, p.characters);
        }
    }
    QString out = QStringLiteral("<div class=\"curves\">");
    for (const ReportRow* row : rows) {
        const ReportRow& r = *row;
        out += QStringLiteral("<figure>") + svg::Curve(r.curve, r.pauses, end, most) +
               QStringLiteral("<figcaption>%1 %2 · %3分 · %4 字/分</figcaption></figure>")
                   .arg(HtmlEscape(r.number), HtmlEscape(r.name))
                   .arg(r.score)
                   .arg(SpeedText(r.measures.speed).isEmpty() ? QStringLiteral("—")
                                                              : SpeedText(r.measures.speed));
    }
    out += QStringLiteral("</div>");
    if (left > 0) {
        out += QStringLiteral("<p class=\"note\">只列出表中前 %1 人的曲线，另有 %2 人未列出"
                              "（用 --curves all 全部列出）。</p>")
                   .arg(rows.size())
                   .arg(left);
    }
    return out;
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
    for (const WrongCharacter& w : report.wrong) {
        out += QStringLiteral("<li><b>%1</b>%2次<span class=\"as\">打成 %3</span></li>")
                   .arg(HtmlEscape(w.character))
                   .arg(w.count)
                   .arg(HtmlEscape(TypedAsText(w)));
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
    std::vector<double> scores;
    std::vector<double> speeds;
    for (const ReportRow& r : rows) {
        if (r.unreadable) {
            continue;
        }
        if (r.standing == Standing::Absent) {
            ++s.absent;
            continue;
        }
        ++s.count;
        s.finished += r.finished ? 1 : 0;
        s.complete += r.complete ? 1 : 0;
        if (r.pass) {
            ++s.judged;
            s.passed = s.passed.value_or(0) + (*r.pass ? 1 : 0);
        }
        if (r.standing != Standing::Counted) {
            continue;
        }
        ++s.counted;
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
    // The clock's hh:mm:ss, with the tenth a measured time has (as the
    // workbook's cells show it).
    const std::int64_t tenths = (*ms + 50) / 100;
    const std::int64_t seconds = tenths / 10;
    const std::int64_t h = seconds / 3600;
    const std::int64_t m = seconds / 60 % 60;
    const std::int64_t s = seconds % 60;
    const QChar zero = QLatin1Char('0');
    return QStringLiteral("%1:%2:%3.%4")
        .arg(h, 2, 10, zero)
        .arg(m, 2, 10, zero)
        .arg(s, 2, 10, zero)
        .arg(tenths % 10);
}

QString FigureText(const std::optional<double>& value) {
    return value ? Number(*value, 2) : QString();
}

QString TypedAsText(const WrongCharacter& wrong) {
    QStringList parts;
    for (const auto& [typed, count] : wrong.typedAs) {
        parts << (count > 1 ? QStringLiteral("%1×%2").arg(typed).arg(count) : typed);
    }
    return parts.join(QChar(0x3001));
}

std::vector<WrongCharacter> MostWrong(const std::map<std::string, WrongCount>& counts,
                                      std::size_t limit) {
    std::vector<std::pair<std::string, WrongCount>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second.count > b.second.count; });
    const auto text = [](const std::string& gbk) {
        return QString::fromStdString(exam::GbkToUtf8(gbk));
    };
    std::vector<WrongCharacter> out;
    for (std::size_t i = 0; i < sorted.size() && i < limit; ++i) {
        WrongCharacter w{text(sorted[i].first), sorted[i].second.count, {}};
        std::vector<std::pair<std::string, int>> as(sorted[i].second.typedAs.begin(),
                                                    sorted[i].second.typedAs.end());
        std::stable_sort(as.begin(), as.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        for (std::size_t k = 0; k < as.size() && k < 3; ++k) {
            w.typedAs.emplace_back(text(as[k].first), as[k].second);
        }
        out.push_back(w);
    }
    return out;
}

QByteArray ReportHtml(const ClassReport& report) {
    const Heading& h = report.heading;
    const QString source =
        report.sourceName.isEmpty() ? QStringLiteral("（原文未知）") : report.sourceName;
    const QString title = h.title.isEmpty() ? QStringLiteral("打字考试成绩单") : h.title;
    std::vector<int> scores;
    std::vector<svg::ScatterPoint> points;
    for (const ReportRow& r : report.rows) {
        if (r.standing == Standing::Absent || r.unreadable) {
            continue;
        }
        scores.push_back(r.score);
        if (r.measures.speed && r.measures.accuracy) {
            points.push_back({*r.measures.accuracy, *r.measures.speed, r.number,
                              QStringLiteral("%1 %2：%3 字/分，正确率 %4")
                                  .arg(r.number, r.name, SpeedText(r.measures.speed),
                                       AccuracyText(r.measures.accuracy)),
                              r.name.isEmpty() ? r.number : r.name});
        }
    }
    QString html =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>%1</title><style>")
            .arg(HtmlEscape(
                QStringList{h.school, h.className, title}.join(QLatin1Char(' ')).trimmed()));
    html += QString::fromUtf8(kStyle);
    html += QStringLiteral("</style></head><body><header>");
    if (!h.school.isEmpty()) {
        html += QStringLiteral("<p class=\"school\">%1</p>").arg(HtmlEscape(h.school));
    }
    html += QStringLiteral("<h1>%1</h1>").arg(HtmlEscape(title));
    QStringList meta;
    if (!h.className.isEmpty()) {
        meta << QStringLiteral("班级：%1").arg(h.className);
    }
    if (!h.teacher.isEmpty()) {
        meta << QStringLiteral("任课教师：%1").arg(h.teacher);
    }
    meta << QStringLiteral("考试日期：%1")
                .arg(report.date.isValid() ? report.date.toString(QStringLiteral("yyyy-MM-dd"))
                                           : QStringLiteral("—"));
    meta << QStringLiteral("原文：%1").arg(source);
    html += QStringLiteral("<p class=\"meta\">%1</p>")
                .arg(HtmlEscape(meta.join(QStringLiteral(" · "))));
    if (!report.sourceOpening.isEmpty()) {
        html += QStringLiteral("<p class=\"opening\">%1</p>").arg(HtmlEscape(report.sourceOpening));
    }
    html += QStringLiteral("</header>");
    html += SummaryHtml(Summarise(report.rows), report.roster);
    html += QStringLiteral("<section><h2>成绩表</h2>") + TableHtml(report) + RulesHtml(report) +
            RetakesHtml(report) +
            QStringLiteral("<div class=\"sign\"><div>教师签名：<span></span></div>"
                           "<div>日期：<span></span></div></div>"
                           "<p class=\"note\">报告生成：%1</p></section>")
                .arg(report.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    html += QStringLiteral("<div class=\"charts-part\"><section><h2>图表</h2><div class=\"charts\">"
                           "<figure>") +
            svg::Histogram(scores) +
            QStringLiteral("<figcaption>得分分布（人数）</figcaption>"
                           "</figure><figure>") +
            svg::Scatter(points) +
            QStringLiteral("<figcaption>速度与正确率（每点一人<span class=\"screen-only\">"
                           "；人少时旁边标出学号，指向点可看姓名</span>）</figcaption>"
                           "</figure></div></section>");
    html += QStringLiteral("<section><h2>最常打错的字</h2>") + WrongHtml(report) +
            QStringLiteral("</section>");
    html += QStringLiteral("<section><h2>打字曲线</h2><p class=\"note\">答案里的字数随时间的变化"
                           "：横轴是从登录算起的分钟，纵轴是字数，黄色是暂停。</p>") +
            CurvesHtml(report) + QStringLiteral("</section></div>");
    html += QStringLiteral("</body></html>\n");
    return html.toUtf8();
}

} // namespace qarvel::results
