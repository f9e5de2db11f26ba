// The 成绩单's rules: rank, pass, retakes, the roster, and what counts.
#include "results/Grading.h"

#include "QtPrinting.h"
#include "exam/Gbk.h"
#include "results/ClassReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace qarvel::results;

TEST(Grading, RanksByScoreThenSpeedAsShownAndTiesShare) {
    struct Case {
        std::vector<std::pair<int, std::optional<double>>> results;
        std::vector<int> ranks;
    };
    const Case cases[] = {
        {{}, {}},
        {{{80, 50.0}}, {1}},
        {{{70, 50.0}, {90, 10.0}, {80, 40.0}}, {3, 1, 2}},
        // Same score: the faster first; 40.04 and 40.0 both show as 40.0: shared, then 4.
        {{{80, 40.04}, {80, 60.0}, {80, 40.0}, {60, 99.0}}, {2, 1, 2, 4}},
        // No speed is slower than any.
        {{{80, std::nullopt}, {80, 1.0}, {80, std::nullopt}}, {2, 1, 2}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ranks(c.results), c.ranks);
    }
}

TEST(Grading, PassByScoreBySpeedOrBoth) {
    struct Case {
        PassRule rule;
        int score;
        std::optional<double> speed;
        std::optional<bool> pass;
    };
    const Case cases[] = {
        {{}, 100, 90.0, std::nullopt},   {{60, {}}, 60, std::nullopt, true},
        {{60, {}}, 59, 90.0, false},     {{{}, 30.0}, 0, 29.96, true}, // shows as 30.0
        {{{}, 30.0}, 100, 29.94, false}, {{{}, 30.0}, 100, std::nullopt, false},
        {{60, 30.0}, 70, 31.0, true},    {{60, 30.0}, 70, 20.0, false},
        {{60, 30.0}, 50, 31.0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Passes(c.rule, c.score, c.speed), c.pass) << c.score;
    }
}

TEST(Grading, OneRecordStandsPerStudentBestOrLast) {
    const std::vector<Attempt> attempts{
        {"01", 70, 40.0, 1000}, {"02", 50, 10.0, 1500}, {"01", 90, 30.0, 2000},
        {"01", 90, 20.0, 3000}, {"03", 10, {}, 100},    {"02", 50, 10.0, 1200},
    };
    EXPECT_EQ(ChooseAttempts(attempts, RetakeRule::Best),
              (std::vector<bool>{false, true, true, false, true, false})); // equal: the later
    EXPECT_EQ(ChooseAttempts(attempts, RetakeRule::Last),
              (std::vector<bool>{false, true, false, true, true, false}));
    EXPECT_EQ(ParseRetakeRule("last"), RetakeRule::Last);
    EXPECT_FALSE(ParseRetakeRule("first"));
    EXPECT_TRUE(ParseCounting("abandoned,lost")->lost);
    EXPECT_FALSE(ParseCounting("abandoned,lost")->unverified);
    EXPECT_TRUE(ParseCounting("all")->unverified);
    EXPECT_FALSE(ParseCounting("abandoned,everything"));
}

TEST(Grading, RosterFilesAsTeachersWriteThem) {
    struct Case {
        const char* what;
        QByteArray bytes;
        std::vector<std::pair<QString, QString>> entries;
    };
    const QByteArray gbk =
        QByteArray::fromStdString(qarvel::exam::Utf8ToGbk("01,张三\r\n02,李四\r\n"));
    const Case cases[] = {
        {"utf-8 with a mark and a heading",
         "\xEF\xBB\xBF学号,姓名\r\n01,张三\r\n02,李四\r\n",
         {{"01", "张三"}, {"02", "李四"}}},
        {"gbk", gbk, {{"01", "张三"}, {"02", "李四"}}},
        {"tabs, quotes, blank lines, full-width comma, a number twice",
         "number\tname\n\n\"003\"\t\"Wang, Fang\"\n004，赵六\n003,again\n  \n005\n",
         {{"003", "Wang, Fang"}, {"004", "赵六"}, {"005", ""}}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<QString, QString>> got;
        for (const RosterEntry& e : ParseRoster(c.bytes).entries) {
            got.emplace_back(e.number, e.name);
        }
        EXPECT_EQ(got, c.entries) << c.what;
    }
}

TEST(Grading, RosterFileMustBeASmallRegularFileWithNumbers) {
    QTemporaryDir dir;
    const auto write = [&dir](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    QString error;
    EXPECT_EQ(ReadRoster(write("good.csv", "01,张三\n"), error)->entries.size(), 1u);
    for (const QString& bad :
         {write("empty.csv", "学号,姓名\n"), write("huge.csv", QByteArray(kRosterBytes + 1, '1')),
          dir.path(), dir.filePath(QStringLiteral("none.csv"))}) {
        error.clear();
        EXPECT_FALSE(ReadRoster(bad, error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

Row Made(const char* number, const char* name, const char* state, int score, double speed,
         int startMinute) {
    Row row;
    row.record.number = QString::fromUtf8(number);
    row.record.name = QString::fromUtf8(name);
    row.record.state = QString::fromLatin1(state);
    row.record.score = score;
    row.record.start = QDateTime(QDate(2026, 12, 7), QTime(9, startMinute));
    row.measures.speed = speed;
    row.check.verified = Verified::Yes;
    return row;
}

TEST(Grading, TheClassReportCountsRanksAndListsAsTheRulesSay) {
    std::vector<Row> rows{
        Made("01", "张三", kComplete, 90, 40, 0), Made("01", "张三", kTimeUp, 95, 30, 20),
        Made("02", "李四", kClosed, 30, 20, 0),   Made("04", "赵六", kComplete, 90, 40, 0),
        Made("05", "钱七", kComplete, 99, 99, 0), Made("06", "孙八", kRunning, 50, 50, 0),
        Made("09", "外人", kComplete, 70, 35, 0),
    };
    rows[4].check.verified = Verified::No; // 05 does not replay: shown, not counted
    rows[5].stale = true;                  // 06 stopped writing
    ReportOptions options;
    options.pass.score = 60;
    options.roster = ParseRoster("01,张三\n02,李四\n03,王五\n04,赵六\n05,钱七\n06,孙八\n");
    const ClassReport report = MakeClassReport(rows, {}, options, QDateTime());

    struct Expect {
        QString number;
        Standing standing;
        std::optional<int> rank;
        std::optional<bool> pass;
    };
    const std::vector<Expect> expected{
        {"01", Standing::Counted, 1, true},   {"02", Standing::Abandoned, {}, false},
        {"03", Standing::Absent, {}, {}},     {"04", Standing::Counted, 2, true},
        {"05", Standing::Unverified, {}, {}}, {"06", Standing::Lost, {}, {}},
        {"09", Standing::Counted, 3, true},
    };
    ASSERT_EQ(report.rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ReportRow& r = report.rows[i];
        EXPECT_EQ(r.number, expected[i].number) << i;
        EXPECT_EQ(r.standing, expected[i].standing) << r.number;
        EXPECT_EQ(r.rank, expected[i].rank) << r.number;
        EXPECT_EQ(r.pass, expected[i].pass) << r.number;
        EXPECT_EQ(r.notOnRoster, r.number == "09") << r.number;
    }
    EXPECT_EQ(report.rows[0].score, 95); // the best of 01's two
    ASSERT_EQ(report.retakes.size(), 1u);
    EXPECT_EQ(report.retakes[0].score, 90);
    EXPECT_EQ(report.retakes[0].standing, Standing::Retake);
    const Summary s = Summarise(report.rows);
    EXPECT_EQ(s.count, 6);
    EXPECT_EQ(s.absent, 1);
    EXPECT_EQ(s.counted, 3);
    EXPECT_EQ(s.judged, 4); // the abandoned 02 is judged too
    EXPECT_EQ(s.passed, 3);
    EXPECT_EQ(report.rows[1].state, QStringLiteral("中途退出"));
    EXPECT_DOUBLE_EQ(*s.meanScore, (95 + 90 + 70) / 3.0);

    // Counted when the teacher asks; the last record when the teacher says so.
    options.counting = {true, true, true};
    options.retake = RetakeRule::Last;
    const ClassReport all = MakeClassReport(rows, {}, options, QDateTime());
    EXPECT_EQ(Summarise(all.rows).counted, 6);
    EXPECT_EQ(all.rows[0].score, 95);
    EXPECT_EQ(all.rows[4].rank, 1); // 05's 99
}

} // namespace
