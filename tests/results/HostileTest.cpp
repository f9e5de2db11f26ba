// What a hostile examinee can leave in a drop box: files that are not records,
// records beyond any exam, copies, forged times and names, and text no
// workbook holds. Every file gets a row, nothing is read without bounds.
#include "QtPrinting.h"
#include "exam/ExamLogText.h"
#include "exam/TypingPace.h"
#include "results/AtomicFile.h"
#include "results/BoundedRead.h"
#include "results/ClassReport.h"
#include "results/FolderFlags.h"
#include "results/SvgChart.h"
#include "results/TextSafety.h"
#include "results/XlsxReport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qarvel;
using namespace qarvel::results;
using Kind = exam::ExamEvent::Kind;

const QDateTime kStart(QDate(2026, 12, 7), QTime(13, 0), QTimeZone(28800));

// A readable record of `changes` one-character changes a second apart.
Record Typed(const QString& number, int changes, qint64 shift = 0) {
    Record r;
    r.number = number;
    r.name = QStringLiteral("考生");
    r.duration = QStringLiteral("00:30:00");
    r.state = QString::fromLatin1(kClosed);
    r.hasLog = true;
    for (int i = 0; i < changes; ++i) {
        r.log.events.push_back({1000 + i * 1000 + shift, Kind::Append, "\xB0\xA1", 0});
    }
    r.loggedAt = 1000 + changes * 1000 + shift;
    r.start = kStart;
    r.updated = kStart.addMSecs(r.loggedAt);
    return r;
}

// The flags of each row, as identifiers.
std::vector<QStringList> FlagsOf(const std::vector<Row>& rows) {
    std::vector<QStringList> out;
    for (const Row& row : rows) {
        QStringList ids;
        for (const Flag f : row.check.flags) {
            ids << FlagId(f);
        }
        out.push_back(ids);
    }
    return out;
}

TEST(ReadBounded, OnlyRegularFilesWithinTheCap) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    QFile file(path("r.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("0123456789") == 10);
    file.close();
    ASSERT_EQ(::symlink(QFile::encodeName(path("r.json")), QFile::encodeName(path("l.json"))), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(path("zero.json"))), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.json")), 0600), 0);
    const struct {
        const char* name;
        qint64 cap;
        bool follow;
        const char* reason; // empty when read
    } cases[] = {
        {"r.json", 10, false, ""},
        {"r.json", 9, false, "文件太大"},
        {"l.json", 10, false, "符号链接"},
        {"l.json", 10, true, ""},
        {"zero.json", 1 << 20, false, "符号链接"},
        {"zero.json", 1 << 20, true, "设备"},
        {"fifo.json", 10, true, "管道"}, // refused at once: nobody writes to it
        {"/dev/stdin", 10, false, "符号链接"},
        {".", 10, true, "文件夹"},
        {"none.json", 10, true, "不存在"},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        const BoundedRead read =
            ReadBounded(name.startsWith('/') ? name : path(c.name), c.cap, c.follow);
        EXPECT_EQ(read.ok, *c.reason == 0) << c.name;
        EXPECT_TRUE(read.reason.contains(QString::fromUtf8(c.reason))) << c.name << read.reason;
        EXPECT_EQ(read.bytes.size(), read.ok ? 10 : 0) << c.name;
    }
}

TEST(ReadFolder, EveryFileIsARowAndAFolderThatCannotBeListedSaysSo) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(QStringLiteral("a.json"), ToJson(Typed(QStringLiteral("1"), 3)));
    write(QStringLiteral("b.json"), "{\n");
    write(QStringLiteral(".c.json.tmp"), "{"); // a write under way
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(dir.filePath("x.json"))), 0);
    ASSERT_EQ(::symlink("/dev/stdin", QFile::encodeName(dir.filePath("y.json"))), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("z.json")), 0600), 0);
    const FolderRecords read = ReadFolder(folder);
    EXPECT_TRUE(read.error.isEmpty());
    const std::vector<Row> rows = MergeRecords(read, kStart.addSecs(3600));
    QStringList files;
    for (const Row& row : rows) {
        files << row.file;
        EXPECT_EQ(row.check.Has(Flag::Unreadable), !row.unreadable.isEmpty()) << row.file;
        EXPECT_EQ(row.check.Has(Flag::Unreadable), row.file != "a.json") << row.file;
        EXPECT_TRUE(FlagWords(row).contains(row.file) || row.unreadable.isEmpty());
    }
    files.sort();
    EXPECT_EQ(files, QStringList({"a.json", "b.json", "x.json", "y.json", "z.json"}));
    EXPECT_TRUE(FormatCsv(rows).contains("z.json"));
    EXPECT_EQ(QJsonDocument::fromJson(FormatJson(rows)).array().size(), 5);
    EXPECT_FALSE(ReadFolder(dir.filePath("a.json")).error.isEmpty());
    EXPECT_FALSE(ReadFolder(dir.filePath("none")).error.isEmpty());
}

TEST(RecordLog, BeyondAnExamIsNotReadAndKeysMustBeACount) {
    Record r = Typed(QStringLiteral("1"), 30);
    r.log.keyPresses = 100;
    const auto reread = [](const Record& record, const QJsonValue& keys = QJsonValue(100)) {
        QJsonObject root = QJsonDocument::fromJson(ToJson(record)).object();
        QJsonObject log = root["log"].toObject();
        if (keys.isUndefined()) {
            log.remove("keys");
        } else {
            log["keys"] = keys;
        }
        root["log"] = log;
        return *FromJson(QJsonDocument(root).toJson());
    };
    EXPECT_FALSE(reread(r).logRefused);
    Record pauses = r;
    for (int i = 0; i < 40000; ++i) { // more than 20 a second for 30 minutes
        pauses.log.events.push_back({40000, i % 2 == 0 ? Kind::Pause : Kind::Continue, {}, 0});
    }
    Record big = r;
    big.log.events.push_back({40000, Kind::Append, std::string(30000, 'a'), 0});
    Record shortExam = r;
    shortExam.duration = QStringLiteral("00:00:01");
    for (int i = 0; i < 2000; ++i) { // 20 a second of a 1-second exam and its minute of slack
        shortExam.log.events.push_back({40000 + i, Kind::Remove, {}, 1});
    }
    for (const Record& refused : {pauses, big, shortExam}) {
        const Record back = reread(refused);
        EXPECT_TRUE(back.logRefused && !back.hasLog && back.log.events.empty());
        const Check check = CheckRecord(back, std::string("x"));
        EXPECT_EQ(check.verified, Verified::No);
        EXPECT_TRUE(check.Has(Flag::ImplausibleLog));
    }
    const struct {
        QJsonValue keys;
        bool malformed;
        qint64 count;
    } keys[] = {{100, false, 100}, {-1, false, -1},  {QJsonValue::Undefined, true, -1},
                {-5, true, -1},    {"10", true, -1}, {1.5, true, -1}};
    for (const auto& k : keys) {
        const Record back = reread(r, k.keys);
        EXPECT_EQ(back.keysMalformed, k.malformed) << k.keys.toVariant().toString().toStdString();
        EXPECT_EQ(back.log.keyPresses, k.count);
        EXPECT_NE(CheckRecord(back, std::nullopt).verified, Verified::Yes);
    }
    EXPECT_EQ(exam::MostEvents(30 * 60 * 1000), 20 * (1800 + 60));
    // A record claiming a longer exam than the room's is held to the room's.
    FolderRecords room;
    room.records = {Typed(QStringLiteral("1"), 3), Typed(QStringLiteral("2"), 4), pauses};
    room.records.back().number = QStringLiteral("3");
    room.records.back().duration = QStringLiteral("02:00:00");
    const std::vector<Row> rows = MergeRecords(room, kStart.addSecs(7200));
    EXPECT_TRUE(rows.back().record.logRefused && rows.back().record.log.events.empty());
    EXPECT_FALSE(rows.front().record.logRefused);
}

TEST(FolderFlags, NumbersTimesCopiesAndDurations) {
    const QDateTime now = kStart.addSecs(7200);
    const auto flags = [&](std::vector<Record> records, const RoomRules& rules = {},
                           const QDateTime& modified = {}) {
        FolderRecords folder;
        for (Record& r : records) {
            folder.files << r.number + ".json";
            folder.modified.push_back(modified);
            folder.records.push_back(std::move(r));
        }
        const std::vector<Row> rows = MergeRecords(folder, now, rules);
        QStringList out;
        for (const QStringList& f : FlagsOf(rows)) {
            out << f.join(',');
        }
        return out;
    };
    const auto with = [](Record r, auto change) {
        change(r);
        return r;
    };
    const Record a = Typed(QStringLiteral("1"), 60);
    const Record b = Typed(QStringLiteral("2"), 60, 7);
    const Record c = Typed(QStringLiteral("3"), 20);
    const struct {
        const char* what;
        std::vector<Record> records;
        QStringList flags;
        RoomRules rules = {};
        QDateTime modified = {};
    } cases[] = {
        {"genuine", {a}, {""}},
        {"full-width digits", {with(a, [](Record& r) { r.number = "２０２４"; })}, {""}},
        {"letter O", {with(a, [](Record& r) { r.number = "2O24O917"; })}, {"number-format"}},
        {"reversed", {with(a, [](Record& r) { r.number = "\u202E7190420"; })}, {"number-format"}},
        {"hidden in name", {with(a, [](Record& r) { r.name = "李\u200B雷"; })}, {"number-format"}},
        {"no start", {with(a, [](Record& r) { r.start = {}; })}, {"outside-exam-time"}},
        {"future",
         {with(a,
               [&](Record& r) {
                   r.start = QDateTime(QDate(2030, 1, 1), QTime(8, 0));
                   r.updated = r.start.addMSecs(r.loggedAt);
               })},
         {"outside-exam-time"}},
        {"log clock",
         {with(a, [](Record& r) { r.start = r.start.addSecs(-3600); })},
         {"outside-exam-time"}},
        {"after the file", {a}, {"outside-exam-time"}, {}, kStart.addSecs(-3600)},
        {"file later", {a}, {""}, {}, kStart.addSecs(3600)},
        {"copies", {a, with(a, [](Record& r) { r.number = "2"; })}, {"same-log", "same-log"}},
        {"retimed copies", {a, b}, {"same-log", "same-log"}},
        {"short retimed", {c, with(Typed("4", 20, 7), [](Record&) {})}, {"", ""}},
        {"duration given", {a}, {"duration-differs"}, {60 * 60 * 1000}},
        {"most common",
         {c, with(Typed("5", 3), [](Record& r) { r.duration = "01:00:00"; }), Typed("6", 5)},
         {"", "duration-differs", ""}},
        {"tie", {c, with(Typed("5", 3), [](Record& r) { r.duration = "01:00:00"; })}, {"", ""}},
    };
    for (const auto& t : cases) {
        EXPECT_EQ(flags(t.records, t.rules, t.modified), t.flags) << t.what;
    }
}

TEST(TextSafety, WorkbookTextAndVisibleEscapes) {
    const QString lone = QString(QChar(0xD800));
    const struct {
        QString text;
        QString workbook;
        QString visible;
    } cases[] = {
        {"李雷", "李雷", "李雷"},
        {"a\tb\nc", "a\tb\nc", "a<U+0009>b<U+000A>c"},
        {"a\x01\x1f", "a\uFFFD\uFFFD", "a<U+0001><U+001F>"},
        {"李\uFFFE雷\uFFFF", "李\uFFFD雷\uFFFD", "李<U+FFFE>雷<U+FFFF>"},
        {"x" + lone, "x\uFFFD", "x<U+D800>"},
        {"\u202E7190420", "\u202E7190420", "<U+202E>7190420"},
        {"😀", "😀", "😀"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ForWorkbook(c.text), c.workbook) << c.text;
        EXPECT_EQ(VisiblyEscaped(c.text), c.visible) << c.text;
        EXPECT_EQ(HasHiddenCharacters(c.text), c.text != c.visible) << c.text;
    }
    const QString cut = ForWorkbook(QString(40000, QLatin1Char('x')));
    EXPECT_EQ(cut.size(), kCellLimit);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("（已截断）")));
    EXPECT_EQ(ForWorkbook(QString(kCellLimit, 'x')).size(), kCellLimit);
}

// Every XML part of the workbook parses, whatever the names in it.
TEST(Workbook, WellFormedWhateverTheNames) {
    QTemporaryDir dir;
    FolderRecords folder;
    for (const QString& name : {QStringLiteral("李\uFFFE雷"), QStringLiteral("a\x01\x0b"),
                                QString(QChar(0xDC00)), QString(32768, QLatin1Char('n'))}) {
        Record r =
            Typed(QString::number(folder.records.size() + 1), 3, qint64(folder.records.size()));
        r.name = name;
        folder.records.push_back(r);
    }
    folder.unreadable << QStringLiteral("b\uFFFE.json");
    folder.reasons << QStringLiteral("不是成绩记录");
    const std::vector<Row> rows = MergeRecords(folder, kStart.addSecs(7200));
    const QString book = dir.filePath(QStringLiteral("b.xlsx"));
    ReportOptions options;
    options.sourceName = QStringLiteral("2\x01.txt");
    ASSERT_EQ(WriteXlsx(book, MakeClassReport(rows, {}, options, kStart)), QString());
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), book});
    ASSERT_TRUE(unzip.waitForFinished(10000));
    const QStringList parts =
        QString::fromUtf8(unzip.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_GT(parts.size(), 5);
    for (const QString& part : parts) {
        // unzip reads brackets in a name as a pattern: "[[]" is one "[".
        QString pattern = part;
        pattern.replace(QLatin1Char('['), QStringLiteral("[[]"));
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), book, pattern});
        ASSERT_TRUE(unzip.waitForFinished(10000));
        const QByteArray xml = unzip.readAllStandardOutput();
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            reader.readNext();
        }
        EXPECT_FALSE(reader.hasError()) << part << ": " << reader.errorString();
        if (part == QStringLiteral("xl/sharedStrings.xml")) {
            EXPECT_TRUE(xml.contains("李&lt;U+FFFE&gt;雷"));
            EXPECT_TRUE(xml.contains(QStringLiteral("（已截断）").toUtf8()));
        }
    }
}

TEST(Svg, PausesDrawAtMostABandAPixel) {
    std::vector<PauseSpan> pauses;
    for (std::int64_t ms = 0; ms < 1'800'000; ms += 2) {
        pauses.push_back({ms, ms + 1});
    }
    const QString svg = svg::Curve({}, pauses, 1'800'000, 10);
    EXPECT_LE(svg.count(QStringLiteral("<rect")), 300);
}

TEST(ResultsTool, StatusSaysWhenSomethingCouldNotBeRead) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("room"));
    QDir().mkpath(folder);
    ASSERT_TRUE(
        WriteFileAtomically(folder, QStringLiteral("a.json"), ToJson(Typed(QStringLiteral("1"), 3)))
            .ok);
    const auto run = [&](const QStringList& args) {
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        tool.start(QStringLiteral(QARVEL_RESULTS_TOOL), args);
        EXPECT_TRUE(tool.waitForFinished(10000));
        return std::pair(tool.exitCode(), QString::fromUtf8(tool.readAllStandardError()));
    };
    EXPECT_EQ(run({QStringLiteral("--json"), folder}).first, 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(folder + "/x.json")), 0);
    EXPECT_EQ(run({QStringLiteral("--json"), folder}).first, 3);
    EXPECT_EQ(run({folder}).first, 3);
    const auto [status, message] = run({dir.filePath(QStringLiteral("none"))});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(message.contains(QStringLiteral("none"))) << message;
    EXPECT_EQ(run({QStringLiteral("--duration"), QStringLiteral("half an hour"), folder}).first, 2);
}

} // namespace
