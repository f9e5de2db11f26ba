// Merging a folder of records: order, flags, the CSV, and the watch mode.
#include "QtPrinting.h"
#include "results/AtomicFile.h"
#include "results/ResultsTable.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using namespace qarvel::results;

const QDateTime kNow(QDate(2026, 12, 7), QTime(14, 0, 0), QTimeZone(8 * 3600));

struct Entry {
    const char* number;
    const char* state;
    int secondsAgo;
    const char* sha;
};

Record Make(const Entry& e) {
    Record r;
    r.number = QString::fromUtf8(e.number);
    r.name = QStringLiteral("考生") + r.number;
    r.state = QString::fromLatin1(e.state);
    r.start = kNow.addSecs(-600);
    r.updated = kNow.addSecs(-e.secondsAgo);
    r.sourceSha256 = QString::fromLatin1(e.sha);
    return r;
}

// "number:flags" per row, flags d (duplicate), s (stale), o (other source).
QStringList Merged(const std::vector<Entry>& entries) {
    FolderRecords folder;
    for (const Entry& e : entries) {
        folder.records.push_back(Make(e));
    }
    QStringList rows;
    for (const Row& row : MergeRecords(folder, kNow)) {
        rows << row.record.number + ':' + (row.duplicate ? "d" : "") + (row.stale ? "s" : "") +
                    (row.otherSource ? "o" : "");
    }
    return rows;
}

TEST(MergeRecords, OrdersAndFlags) {
    const struct {
        std::vector<Entry> folder;
        QStringList rows;
    } cases[] = {
        // Numbers by value, then text.
        {{{"10", kRunning, 5, "x"},
          {"9", kRunning, 5, "x"},
          {"a1", kComplete, 5, "x"},
          {"009", kClosed, 5, "x"}},
         {"009:", "9:", "10:", "a1:"}},
        // Two records of one number: both flagged.
        {{{"3", kClosed, 5, "x"}, {"3", kRunning, 5, "x"}, {"4", kRunning, 5, "x"}},
         {"3:d", "3:d", "4:"}},
        // A running or paused record goes stale, and only after a minute.
        {{{"1", kRunning, 61, "x"},
          {"2", kRunning, 59, "x"},
          {"3", kPaused, 600, "x"},
          {"4", kComplete, 600, "x"}},
         {"1:s", "2:", "3:s", "4:"}},
        // Numbers that only look alike are one number.
        {{{"2024001", kRunning, 5, "x"},
          {"\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x92\xEF\xBC\x94\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x91",
           kRunning, 5, "x"},
          {"2024\u200B001 ", kRunning, 5, "x"},
          {"\u200F2024001", kRunning, 5, "x"},
          {"2024002", kRunning, 5, "x"}},
         {"2024001:d", "２０２４００１:d", "2024\u200B001 :d", "\u200F2024001:d", "2024002:"}},
        // The odd source out is flagged; with a tie, every record is.
        {{{"1", kRunning, 5, "x"}, {"2", kRunning, 5, "x"}, {"3", kRunning, 5, "y"}},
         {"1:", "2:", "3:o"}},
        {{{"1", kRunning, 5, "x"}, {"2", kRunning, 5, "y"}}, {"1:o", "2:o"}},
        {{{"1", kRunning, 5, "x"}, {"2", kRunning, 5, ""}, {"3", kRunning, 5, "x"}},
         {"1:", "2:o", "3:"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Merged(c.folder), c.rows) << c.rows.join(' ').toStdString();
    }
}

TEST(MergeRecords, CsvOpensInASpreadsheet) {
    FolderRecords folder;
    Record r = Make({"1", kComplete, 5, "x"});
    r.name = QStringLiteral("=HYPERLINK(\"x\"),张三");
    folder.records.push_back(r);
    const QByteArray csv = FormatCsv(MergeRecords(folder, kNow));
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF"
                               "学号,姓名,状态,得分"));
    // The student number is quoted, so that a spreadsheet taking quoted fields as text keeps it.
    EXPECT_TRUE(csv.contains("\r\n\"1\",\"'=HYPERLINK(\"\"x\"\"),张三\",完成,0,"))
        << csv.constData();
    EXPECT_TRUE(csv.endsWith("\r\n"));
}

TEST(MergeRecords, TableColumnsLineUpWithChinese) {
    FolderRecords folder;
    folder.records.push_back(Make({"1", kRunning, 5, "x"}));
    folder.records.push_back(Make({"22", kPaused, 5, "x"}));
    folder.records.back().name = QStringLiteral("Bob");
    const QStringList lines = FormatTable(MergeRecords(folder, kNow)).split('\n');
    // The state column starts at the same terminal cell on every line.
    const auto cell = [](const QString& line, const QString& word) {
        int cells = 0;
        for (const QChar ch : line.left(line.indexOf(word))) {
            cells += ch.unicode() >= 0x2E80 ? 2 : 1;
        }
        return cells;
    };
    EXPECT_EQ(cell(lines[0], "状态"), cell(lines[1], "答题中"));
    EXPECT_EQ(cell(lines[0], "状态"), cell(lines[2], "暂停"));
}

TEST(ReadFolder, SkipsWritesUnderWayAndReportsStrangers) {
    QTemporaryDir dir;
    const auto put = [&](const char* name, const QByteArray& bytes) {
        ASSERT_TRUE(WriteFileAtomically(dir.path(), QString::fromLatin1(name), bytes).ok);
    };
    put("b.json", ToJson(Make({"2", kRunning, 5, "x"})));
    put("a.json", ToJson(Make({"1", kRunning, 5, "x"})));
    put(".a.json.77.tmp", "{");
    put("notes.json", "not json");
    put("readme.txt", "x");
    const FolderRecords folder = ReadFolder(dir.path());
    EXPECT_EQ(folder.files, (QStringList{"a.json", "b.json"}));
    EXPECT_EQ(folder.unreadable, QStringList{"notes.json"});
}

TEST(Watch, PicksUpAChangedRecord) {
    QTemporaryDir dir;
    Record r = Make({"5", kRunning, 0, "x"});
    r.updated = QDateTime::currentDateTime();
    ASSERT_TRUE(WriteFileAtomically(dir.path(), QStringLiteral("r.json"), ToJson(r)).ok);
    QProcess watch;
    watch.start(QStringLiteral(QARVEL_RESULTS_TOOL),
                {"--watch", "--interval", "1", "--rounds", "3", dir.path()});
    ASSERT_TRUE(watch.waitForReadyRead(5000));
    EXPECT_TRUE(QString::fromUtf8(watch.readAllStandardOutput()).contains("答题中"));
    r.state = QString::fromLatin1(kComplete);
    r.score = 87;
    ASSERT_TRUE(WriteFileAtomically(dir.path(), QStringLiteral("r.json"), ToJson(r)).ok);
    ASSERT_TRUE(watch.waitForFinished(10000));
    const QString later = QString::fromUtf8(watch.readAllStandardOutput());
    EXPECT_TRUE(later.contains("完成  87")) << later.toStdString();
    EXPECT_EQ(watch.exitCode(), 0);
}

} // namespace
