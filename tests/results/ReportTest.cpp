// The class report's pieces: SVG pictures, summary, texts, the HTML page and
// the workbook.
#include "QtPrinting.h"
#include "exam/Gbk.h"
#include "results/ClassReport.h"
#include "results/HtmlReport.h"
#include "results/SvgChart.h"
#include "results/XlsxReport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace qarvel::results;

// The elements of an SVG picture by name, or an empty map when it is not well-formed XML.
std::map<QString, int> Elements(const QString& svgText) {
    std::map<QString, int> counts;
    QXmlStreamReader xml(svgText);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            ++counts[xml.name().toString()];
        }
    }
    if (xml.hasError()) {
        ADD_FAILURE() << xml.errorString() << " in " << svgText;
        return {};
    }
    return counts;
}

TEST(Svg, EscapeLeavesNothingThatBreaksMarkupOrXml) {
    EXPECT_EQ(svg::Escape(QStringLiteral("<a href=\"x\">'&'</a>")),
              QStringLiteral("&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;"));
    EXPECT_EQ(svg::Escape(QStringLiteral("李\x1b[2J\x7f\u0085x")),
              QStringLiteral("李\uFFFD[2J\uFFFD\uFFFDx"));
    // Whatever goes in, the result parses as XML text.
    QString all;
    for (char16_t c = 0; c < 0x300; ++c) {
        all += QChar(c);
    }
    Elements(QStringLiteral("<t>") + svg::Escape(all) + QStringLiteral("</t>"));
}

TEST(Svg, TicksStartAtZeroAndCoverTheMaximumInRoundSteps) {
    EXPECT_EQ(svg::Ticks(7, 5), (std::vector<double>{0, 2, 4, 6, 8}));
    EXPECT_EQ(svg::Ticks(100, 5), (std::vector<double>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(svg::Ticks(0, 5), (std::vector<double>{0, 0.2, 0.4, 0.6000000000000001, 0.8, 1}));
    for (const double max : {0.3, 1.0, 3.0, 9.99, 42.0, 61.5, 250.0, 1234.0, 1e6}) {
        const std::vector<double> t = svg::Ticks(max, 4);
        ASSERT_GE(t.size(), 2u) << max;
        EXPECT_EQ(t.front(), 0);
        EXPECT_GE(t.back(), max * (1 - 1e-9));
        const double step = t[1];
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                    std::abs(mantissa - 5) < 1e-9)
            << max << " step " << step;
        EXPECT_LE(t.size(), 10u) << max;
    }
    EXPECT_EQ(svg::Ticks(std::nan(""), 5).back(), 1);
}

TEST(Svg, ScoresFallIntoTenths) {
    EXPECT_EQ(svg::ScoreBins({0, 9, 10, 55, 99, 100, -5, 150}),
              (std::vector<int>{3, 1, 0, 0, 0, 1, 0, 0, 0, 3}));
}

TEST(Svg, PicturesAreWellFormedWithAShapePerItem) {
    auto h = Elements(svg::Histogram({10, 15, 95, 100, 100}));
    EXPECT_EQ(h[QStringLiteral("svg")], 1);
    EXPECT_EQ(h[QStringLiteral("rect")], 2); // two tenths hold scores
    EXPECT_EQ(Elements(svg::Histogram({}))[QStringLiteral("rect")], 0);
    // Counts of people in whole steps: a class of three has no tick at 0.2.
    EXPECT_FALSE(svg::Histogram({10, 50, 95}).contains(QStringLiteral(">0.2<")));
    EXPECT_TRUE(svg::Histogram({10, 50, 95}).contains(QStringLiteral(">1</text>")));

    std::vector<svg::ScatterPoint> points{{0.9, 60, "01", "01 <李>", "李"},
                                          {1.2, -5, "&", "&", "&"}};
    auto s = Elements(svg::Scatter(points));
    EXPECT_EQ(s[QStringLiteral("circle")], 2);
    EXPECT_EQ(s[QStringLiteral("title")], 2);

    // A class of good typists: the accuracy axis starts at 90%, a point of 95% in its middle.
    const QString good = svg::Scatter({{0.95, 50, "a", "a", "a"}, {0.99, 60, "b", "b", "b"}});
    EXPECT_TRUE(good.contains(QStringLiteral(">90%</text>")));
    EXPECT_FALSE(good.contains(QStringLiteral(">0%</text>")));
    EXPECT_TRUE(good.contains(QStringLiteral("cx=\"272\"")));
    // Many points: titles only on the screen, no labels to crowd the picture;
    // names on paper up to 60 points.
    for (const auto& [count, labels, names] :
         {std::tuple{30, 30, 30}, std::tuple{31, 0, 31}, std::tuple{61, 0, 0}}) {
        const std::vector<svg::ScatterPoint> many(std::size_t(count), {0.5, 10, "x", "y", "z"});
        const QString picture = svg::Scatter(many);
        EXPECT_EQ(Elements(picture)[QStringLiteral("circle")], count);
        EXPECT_EQ(picture.count(QStringLiteral("class=\"dotlabel\"")), labels) << count;
        EXPECT_EQ(picture.count(QStringLiteral("class=\"dotname\"")), names) << count;
    }

    const std::vector<CurvePoint> curve{{1000, 1}, {2000, 3}, {9000, 2}};
    auto c = Elements(svg::Curve(curve, {{3000, 5000}, {6000, 7000}}, 10000, 5));
    EXPECT_EQ(c[QStringLiteral("path")], 1);
    EXPECT_EQ(c[QStringLiteral("rect")], 2); // the pauses
}

TEST(Svg, ACurveStepsThroughEveryPointAndStaysInsideItsFrame) {
    const QString picture = svg::Curve({{30000, 10}, {60000, 20}}, {}, 60000, 20);
    const QRegularExpressionMatch d =
        QRegularExpression(QStringLiteral("<path d=\"([^\"]*)\"")).match(picture);
    ASSERT_TRUE(d.hasMatch());
    // From (0, 0), across to half a minute, up to 10, across to a minute, up to 20.
    EXPECT_EQ(d.captured(1), QStringLiteral("M34 108H162V58H290V8")) << picture;
}

TEST(Svg, ThinningKeepsTheLowestAndTheLastOfEachColumn) {
    std::vector<CurvePoint> curve;
    for (std::int64_t ms = 0; ms < 100000; ms += 10) {
        curve.push_back({ms, ms / 10 % 97 == 50 ? 0 : ms / 100});
    }
    const std::vector<CurvePoint> thin = svg::Thin(curve, 100000, 100);
    EXPECT_LE(thin.size(), 200u);
    EXPECT_EQ(thin.back(), curve.back());
    int dips = 0;
    for (const CurvePoint& p : thin) {
        dips += p.characters == 0 && p.ms > 0 ? 1 : 0;
    }
    EXPECT_EQ(dips, 100); // every column holds one dip to 0, and keeps it
    EXPECT_EQ(svg::Thin(curve, 100000, 100000).size(), curve.size());
}

TEST(Report, SummaryAndTexts) {
    std::vector<ReportRow> rows(4);
    rows[0].score = 90;
    rows[0].measures.speed = 60;
    rows[0].finished = rows[0].complete = true;
    rows[1].score = 70;
    rows[1].measures.speed = 40;
    rows[1].finished = true;
    rows[2].score = 50;
    rows[3].score = 10;
    rows[3].measures.speed = 5;
    const Summary s = Summarise(rows);
    EXPECT_EQ(s.count, 4);
    EXPECT_EQ(s.finished, 2);
    EXPECT_EQ(s.complete, 1);
    EXPECT_DOUBLE_EQ(*s.meanScore, 55);
    EXPECT_DOUBLE_EQ(*s.medianScore, 60);
    EXPECT_DOUBLE_EQ(*s.meanSpeed, 35);
    EXPECT_DOUBLE_EQ(*s.medianSpeed, 40);
    EXPECT_FALSE(Summarise({}).meanScore);
    EXPECT_FALSE(Median({}));

    EXPECT_EQ(SpeedText(86.44), QStringLiteral("86.4"));
    EXPECT_EQ(SpeedText(std::nullopt), QString());
    EXPECT_EQ(AccuracyText(0.9751), QStringLiteral("97.5%"));
    // Times as the exam's clock shows them.
    EXPECT_EQ(DurationText(std::int64_t(33'494)), QStringLiteral("00:00:33.5"));
    EXPECT_EQ(DurationText(std::int64_t(59'960)), QStringLiteral("00:01:00.0"));
    EXPECT_EQ(DurationText(std::int64_t(3'723'000)), QStringLiteral("01:02:03.0"));
    EXPECT_EQ(DurationText(std::nullopt), QString());
    EXPECT_EQ(FigureText(3.256), QStringLiteral("3.26"));

    const auto gbk = [](const char* text) { return qarvel::exam::Utf8ToGbk(text); };
    const std::map<std::string, WrongCount> counts{
        {gbk("的"), {3, {{gbk("地"), 3}}}},
        {gbk("室"), {5, {{gbk("是"), 1}, {gbk("师"), 2}, {gbk("事"), 1}, {gbk("时"), 1}}}},
        {"a", {3, {{"s", 3}}}}};
    const auto most = MostWrong(counts, 2);
    ASSERT_EQ(most.size(), 2u);
    EXPECT_EQ(most[0].character, QStringLiteral("室"));
    EXPECT_EQ(most[0].count, 5);
    EXPECT_EQ(TypedAsText(most[0]),
              QStringLiteral("师×2、时、事")); // at most three, ties in GBK order
    EXPECT_EQ(most[1].count, 3);
}

ClassReport Sample() {
    ClassReport report;
    report.sourceName = QStringLiteral("春晓.txt");
    report.date = QDate(2026, 12, 7);
    report.made = QDateTime(report.date, QTime(15, 0));
    report.sourceKnown = true;
    report.wrong = {{QStringLiteral("眠"), 4, {{QStringLiteral("棉"), 4}}}};
    for (int i = 0; i < 3; ++i) {
        ReportRow r;
        r.number = QStringLiteral("0%1").arg(i + 1);
        r.name = i == 1 ? QStringLiteral("<script>alert(1)</script>") : QStringLiteral("李雷");
        r.state = QStringLiteral("完成");
        r.flags = i == 2 ? QStringLiteral("学号重复") : QString();
        r.score = 80 + i;
        r.measures.speed = 50.0 + i;
        r.measures.accuracy = 0.95;
        r.measures.completion = 125000;
        r.measures.examMs = 125000;
        r.rank = 3 - i;
        r.curve = {{1000, 1}, {5000, 5}};
        r.pauses = {{2000, 3000}};
        r.endMs = 5000;
        r.elapsed = QStringLiteral("00:02:05");
        report.rows.push_back(r);
    }
    return report;
}

TEST(Report, TheHtmlPageHoldsEverythingAndFetchesNothing) {
    const QString html = QString::fromUtf8(ReportHtml(Sample()));
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<title>打字考试成绩单</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("原文：春晓.txt")));
    EXPECT_TRUE(html.contains(QStringLiteral("2026-12-07")));
    EXPECT_TRUE(html.contains(QStringLiteral("@page { size: A4")));
    EXPECT_TRUE(html.contains(QStringLiteral("break-inside: avoid")));
    // The examinees' texts are escaped, the flags shown on their row.
    EXPECT_FALSE(html.contains(QStringLiteral("<script")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;script&gt;")));
    EXPECT_TRUE(html.contains(QStringLiteral(
        "<tr class=\"flagged\"><td class=\"num\">1</td><td>03</td><td>李雷</td><td>完成</td>"
        "<td class=\"num\">82</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td class=\"flags\">学号重复</td>")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("<th>击键</th><th>码长</th><th>回改</th><th>用时</th>")));
    EXPECT_EQ(html.count(QStringLiteral("<tr")), 4);
    EXPECT_EQ(html.count(QStringLiteral("<svg ")), 2 + 3); // two pictures, three curves
    EXPECT_TRUE(html.contains(QStringLiteral("<b>眠</b>4次<span class=\"as\">打成 棉×4</span>")));
    // Nothing from outside: no link, script, import or address but the SVG namespace.
    QString rest = html;
    rest.remove(QStringLiteral("xmlns=\"http://www.w3.org/2000/svg\""));
    for (const char* outside :
         {"http:", "https:", "//", "src=", "href=", "url(", "@import", "<link"}) {
        EXPECT_FALSE(rest.contains(QLatin1String(outside))) << outside;
    }
    // Without a source the wrong characters are not made up.
    ClassReport unknown = Sample();
    unknown.sourceKnown = false;
    unknown.sourceName.clear();
    const QString other = QString::fromUtf8(ReportHtml(unknown));
    EXPECT_TRUE(other.contains(QStringLiteral("--source")));
    EXPECT_TRUE(other.contains(QStringLiteral("（原文未知）")));
}

TEST(Report, RecordsCarryTheirMeasuresIntoTheTableTheJsonAndTheReport) {
    using qarvel::exam::ExamEvent;
    const auto gbk = [](const char* text) { return qarvel::exam::Utf8ToGbk(text); };
    FolderRecords folder;
    Record r;
    r.number = QStringLiteral("01");
    r.state = QString::fromLatin1(kComplete);
    r.elapsed = QStringLiteral("00:00:09");
    r.correctHanzi = 2;
    r.sourcePath = QStringLiteral("/exam/vexo/2.txt");
    r.hasLog = true;
    // 春 right, 棉 for 眠 and taken back, 眠 right: done 10 s after the first change.
    r.log.events = {{1000, ExamEvent::Kind::Append, gbk("春"), 0},
                    {4000, ExamEvent::Kind::Append, gbk("棉"), 0},
                    {6000, ExamEvent::Kind::Remove, {}, 2},
                    {11000, ExamEvent::Kind::Append, gbk("眠"), 0}};
    folder.records.push_back(r);
    folder.records.push_back(Record{}); // no log, no time: none of the measures
    folder.files = QStringList{QStringLiteral("a.json"), QStringLiteral("b.json")};
    const std::vector<Row> rows = MergeRecords(folder, QDateTime::currentDateTime());
    ASSERT_EQ(rows.size(), 2u);
    const QJsonArray json = QJsonDocument::fromJson(FormatJson(rows)).array();
    const QJsonObject first = json[rows[0].record.number == "01" ? 0 : 1].toObject();
    const QJsonObject other = json[rows[0].record.number == "01" ? 1 : 0].toObject();
    EXPECT_DOUBLE_EQ(first["speed"].toDouble(), 12.0); // 2 characters in 10 s
    EXPECT_DOUBLE_EQ(first["accuracy"].toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(first["completionSeconds"].toDouble(), 10.0);
    EXPECT_TRUE(other["speed"].isNull());
    EXPECT_TRUE(other["accuracy"].isNull());
    EXPECT_TRUE(other["completionSeconds"].isNull());

    // The source for the record of 01 only, wherever the merge put it.
    std::vector<std::shared_ptr<const std::string>> sources(2);
    sources[rows[0].record.number == "01" ? 0 : 1] =
        std::make_shared<const std::string>(gbk("春眠不觉晓\r\n处处闻啼鸟"));
    const ClassReport report = MakeClassReport(rows, sources, {}, QDateTime::currentDateTime());
    EXPECT_EQ(report.sourceName, QStringLiteral("2.txt"));
    EXPECT_EQ(report.sourceOpening, QStringLiteral("春眠不觉晓"));
    EXPECT_TRUE(report.sourceKnown);
    ASSERT_EQ(report.wrong.size(), 1u);
    EXPECT_EQ(report.wrong[0],
              (WrongCharacter{QStringLiteral("眠"), 1, {{QStringLiteral("棉"), 1}}}));
    const ReportRow& done = report.rows[rows[0].record.number == "01" ? 0 : 1];
    EXPECT_EQ(*done.measures.completion, 10000);
    EXPECT_EQ(done.endMs, 11000);
}

TEST(Report, TheWorkbookIsWrittenWholeOrNotAtAll) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("成绩.xlsx"));
    EXPECT_EQ(WriteXlsx(path, Sample()), QString());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("PK"));
    EXPECT_GT(file.size(), 3000);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // A folder that is not there: a reason, and no file.
    const QString nowhere = dir.filePath(QStringLiteral("no/such/成绩.xlsx"));
    EXPECT_FALSE(WriteXlsx(nowhere, Sample()).isEmpty());
    EXPECT_FALSE(QFile::exists(nowhere));
}

} // namespace
