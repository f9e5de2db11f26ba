// Checking records: the replay of real and edited records, each flag, the
// reading of numbers, text for the terminal, and record names nobody can take.
#include "QtPrinting.h"
#include "exam/ExamReplay.h"
#include "exam/Gbk.h"
#include "results/AtomicFile.h"
#include "results/RecordCheck.h"
#include "results/ResultsTable.h"
#include "results/ResultsWriter.h"
#include "results/TextSafety.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace qarvel::results;
using namespace qarvel;
using Kind = exam::ExamEvent::Kind;
using namespace std::chrono_literals;

const QString kSourceText = QStringLiteral("春眠不觉晓，处处闻啼鸟。\r\nabc 夜来风雨声");

std::string Gbk(const QString& text) {
    return exam::Utf8ToGbk(text.toStdString());
}

std::vector<Flag> Flags(std::initializer_list<Flag> flags) {
    return flags;
}

// A record as the program writes it of `events`, seen `at` ms after the login.
Record Genuine(std::vector<exam::ExamEvent> events, qint64 at, const QString& state = kRunning,
               qint64 keys = 400) {
    Record r;
    r.number = QStringLiteral("1");
    r.name = QStringLiteral("张三");
    r.duration = QStringLiteral("00:30:00");
    r.state = state;
    r.hasLog = true;
    r.log.events = std::move(events);
    r.log.keyPresses = keys;
    r.loggedAt = at;
    const exam::ReplayResult replay = exam::ReplayExam(Gbk(kSourceText), "00:30:00", r.log, at);
    r.answer = QString::fromStdString(exam::GbkToUtf8(replay.answer));
    r.answer.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    r.correctAscii = replay.correctAscii;
    r.correctHanzi = replay.correctHanzi;
    r.score = int(replay.score);
    r.changes = replay.changes;
    r.pauses = replay.pauses;
    r.pauseSeconds = replay.pausedMs / 1000;
    r.sourceTotal = replay.sourceTotal;
    r.sourceAscii = replay.sourceAscii;
    r.sourceHanzi = replay.sourceHanzi;
    const auto clock = [](qint64 s) {
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600, 2, 10, QLatin1Char('0'))
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    };
    r.elapsed = clock(replay.elapsedSeconds);
    r.remaining = clock(replay.remainingSeconds);
    r.start = QDateTime(QDate(2026, 12, 7), QTime(13, 0), QTimeZone(28800));
    r.updated = r.start.addMSecs(at);
    return r;
}

std::vector<exam::ExamEvent> Typing() {
    std::vector<exam::ExamEvent> events;
    qint64 ms = 3000;
    for (const char* c : {"春", "眠", "不", "错", "x"}) {
        events.push_back({ms += 700, Kind::Append, Gbk(QString::fromUtf8(c)), 0});
    }
    events.push_back({ms += 500, Kind::Remove, {}, 1});
    events.push_back({ms += 500, Kind::Remove, {}, 2});
    events.push_back({ms += 2000, Kind::Pause, {}, 0});
    events.push_back({ms += 9000, Kind::Continue, {}, 0});
    events.push_back({ms += 600, Kind::Append, Gbk(QStringLiteral("觉")), 0});
    return events;
}

TEST(CheckRecord, AGenuineRecordIsVerifiedAndEachEditIsCaught) {
    const std::string source = Gbk(kSourceText);
    const Record genuine = Genuine(Typing(), 40000);
    const Check check = CheckRecord(genuine, source);
    EXPECT_EQ(check.verified, Verified::Yes) << check.disagreements.join(' ').toStdString();
    EXPECT_TRUE(check.flags.empty());
    // A clock a second either way is the clock's own doing.
    Record late = genuine;
    late.elapsed = QStringLiteral("00:00:%1").arg(ClockSeconds(genuine.elapsed).value() - 1);
    EXPECT_EQ(CheckRecord(late, source).verified, Verified::Yes);

    const std::vector<std::pair<const char*, std::function<void(Record&)>>> edits = {
        {"answer", [](Record& r) { r.answer += QStringLiteral("晓"); }},
        {"correctHanzi", [](Record& r) { r.correctHanzi += 1; }},
        {"correctAscii", [](Record& r) { r.correctAscii += 1; }},
        {"score", [](Record& r) { r.score = 100; }},
        {"changes", [](Record& r) { r.changes = 408; }},
        {"elapsed", [](Record& r) { r.elapsed = QStringLiteral("00:05:00"); }},
        {"remaining", [](Record& r) { r.remaining = QStringLiteral("00:29:59"); }},
        {"state", [](Record& r) { r.state = QString::fromLatin1(kComplete); }},
        {"state", [](Record& r) { r.state = QString::fromLatin1(kPaused); }},
        {"state", [](Record& r) { r.state = QStringLiteral("\x1b[2J"); }},
        {"pauses", [](Record& r) { r.pauses = 0; }},
        {"sourceHanzi", [](Record& r) { r.sourceHanzi = 3; }},
        {"time", [](Record& r) { r.loggedAt = 1000; }},
        {"events", [](Record& r) { r.log.events.pop_back(); }},
    };
    for (const auto& [what, edit] : edits) {
        Record edited = genuine;
        edit(edited);
        const Check c = CheckRecord(edited, source);
        EXPECT_EQ(c.verified, Verified::No) << what;
        EXPECT_TRUE(c.Has(Flag::NotVerified)) << what;
    }
}

TEST(CheckRecord, EachFlagFromATableOfRecords) {
    const std::string source = Gbk(kSourceText);
    std::vector<exam::ExamEvent> machine;
    for (int i = 0; i < 300; ++i) {
        machine.push_back({1000 + i * 10, Kind::Append, i % 2 ? "a" : "b", 0});
    }
    std::vector<exam::ExamEvent> whilePaused = {{1000, Kind::Append, Gbk(QStringLiteral("春")), 0},
                                                {2000, Kind::Pause, {}, 0},
                                                {3000, Kind::Append, Gbk(QStringLiteral("眠")), 0}};
    Record schemaOne = Genuine(Typing(), 40000);
    schemaOne.hasLog = false;
    const struct {
        const char* what;
        Record record;
        std::optional<std::string> source;
        Verified verified;
        std::vector<Flag> flags;
    } cases[] = {
        {"genuine", Genuine(Typing(), 40000), source, Verified::Yes, {}},
        {"no source", Genuine(Typing(), 40000), std::nullopt, Verified::Unknown,
         Flags({Flag::SourceMissing})},
        {"no log", schemaOne, source, Verified::No, Flags({Flag::NotVerified, Flag::NoEvents})},
        {"nothing typed", Genuine({}, 40000), source, Verified::Yes, Flags({Flag::NoEvents})},
        {"a program typing", Genuine(machine, 9000, kRunning, 1000), source, Verified::Yes,
         Flags({Flag::ImplausibleSpeed})},
        {"a few characters before any key", Genuine(Typing(), 40000, kRunning, 0), source,
         Verified::Yes, Flags({})},
        {"typed while paused", Genuine(whilePaused, 9000, kPaused), source, Verified::Yes,
         Flags({Flag::OutsideExamTime})},
    };
    for (const auto& c : cases) {
        const Check check = CheckRecord(c.record, c.source);
        EXPECT_EQ(check.verified, c.verified)
            << c.what << ": " << check.disagreements.join(' ').toStdString();
        EXPECT_EQ(check.flags, c.flags) << c.what;
    }
    std::vector<exam::ExamEvent> many;
    for (int i = 0; i < 60; ++i) {
        many.push_back({1000 + i * 1000, Kind::Append, "a", 0});
    }
    EXPECT_TRUE(CheckRecord(Genuine(many, 70000, kRunning, 5), source).Has(Flag::ImplausibleSpeed));
}

TEST(CheckRecord, TheFolderChecksSourcesOnce) {
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QByteArray bytes = QByteArray::fromStdString(Gbk(kSourceText));
    const QString source = write(QStringLiteral("2.txt"), bytes);
    const QString other = write(QStringLiteral("other.txt"), "other");
    const QString sha =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    FolderRecords folder;
    Record r = Genuine(Typing(), 40000);
    r.sourceSha256 = sha;
    r.sourcePath = QStringLiteral("/nowhere/2.txt");
    folder.records = {r, r};
    folder.records[1].number = QStringLiteral("１");
    const auto run = [&](const QString& given) {
        std::vector<Row> rows = MergeRecords(folder, QDateTime::currentDateTime());
        SourceTexts sources(given);
        VerifyRows(rows, sources);
        return rows.front().check;
    };
    Check check = run(source);
    EXPECT_EQ(check.verified, Verified::Yes);
    EXPECT_EQ(check.flags, Flags({Flag::SameLog, Flag::DuplicateNumber, Flag::Stale}));
    // Forged records on other sources, however many, do not outvote the given one.
    for (int i = 0; i < 3; ++i) {
        folder.records.push_back(r);
        folder.records.back().sourceSha256.clear();
    }
    EXPECT_FALSE(run(source).Has(Flag::SourceDiffers));
    EXPECT_TRUE(run({}).Has(Flag::SourceDiffers));
    folder.records.resize(2);
    check = run(other);
    EXPECT_EQ(check.verified, Verified::Unknown);
    EXPECT_TRUE(check.Has(Flag::SourceDiffers) && check.Has(Flag::SourceMissing));
    // Watching: an unchanged record keeps its check, a changed one is checked again.
    CheckCache cache;
    SourceTexts given(source);
    for (const int score : {r.score, r.score, 100}) {
        folder.records[0].score = score;
        std::vector<Row> rows = MergeRecords(folder, QDateTime::currentDateTime());
        VerifyRows(rows, given, &cache);
        EXPECT_EQ(cache.size(), 2U);
        EXPECT_EQ(rows[0].check.verified, score == 100 ? Verified::No : Verified::Yes);
    }
    folder.records[0].score = r.score;
    // The record's own source, where it is readable and agrees.
    folder.records[0].sourcePath = source;
    check = run(other);
    EXPECT_EQ(check.verified, Verified::Yes);
    EXPECT_TRUE(check.Has(Flag::SourceDiffers) && !check.Has(Flag::SourceMissing));
}

TEST(TextSafety, NothingButTextReachesTheTerminal) {
    QString every;
    for (char16_t c = 0; c < 0xA0; ++c) {
        every += QChar(c);
    }
    for (const int c : {0x061C, 0x200E, 0x200F, 0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066,
                        0x2067, 0x2068, 0x2069, 0x2028, 0x2029, 0xD800}) {
        every += QChar(char16_t(c));
    }
    const QString safe = ForTerminal(every + QStringLiteral("\x1b]52;c;aGk=\x07\x1b[2K张三😀"));
    for (const QChar ch : safe) {
        const char16_t c = ch.unicode();
        EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x202A && c <= 0x202E) ||
                     (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C ||
                     c == 0x2028 || c == 0x2029 ||
                     (ch.isSurrogate() && !QStringLiteral("😀").contains(ch)))
            << int(c);
    }
    EXPECT_TRUE(safe.endsWith(QStringLiteral("[2K张三😀")));
    EXPECT_EQ(ForTerminal(QStringLiteral("a b 123 中文")), QStringLiteral("a b 123 中文"));
}

TEST(RecordNames, NobodyCanTakeAnExamsRecord) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("results"));
    QDir().mkpath(folder);
    // The name is unpredictable and at most 255 bytes.
    Record r;
    r.number = QString(40, QChar(0x4E00));
    r.name = QString(40, QChar(0x4E01));
    r.host = QStringLiteral("lab");
    const QString a = RecordFileName(r, RandomNameTag());
    EXPECT_NE(a, RecordFileName(r, RandomNameTag()));
    EXPECT_LE(a.toUtf8().size(), 255);
    EXPECT_NE(RetaggedFileName(a), a);
    EXPECT_EQ(RetaggedFileName(a).count('_'), 4);

    // What anyone made beforehand under the name stays as it was, and the
    // record goes under another name.
    const QString victim = dir.filePath(QStringLiteral("victim"));
    QFile(victim).open(QIODevice::WriteOnly);
    ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(),
                        QFile::encodeName(folder + "/link.json").constData()),
              0);
    QFile claimed(folder + "/file.json");
    ASSERT_TRUE(claimed.open(QIODevice::WriteOnly));
    claimed.write("forged");
    claimed.close();
    QDir().mkpath(folder + "/dir.json");
    for (const char* name : {"link.json", "file.json", "dir.json"}) {
        EXPECT_EQ(CreateFileExclusively(folder, QString::fromLatin1(name), "x").error, EEXIST);
    }
    EXPECT_EQ(QFile(victim).size(), 0);

    ResultsWriter writer({folder, dir.filePath(QStringLiteral("spool")), 2s, 200ms, {}, {}}, {});
    Record mine;
    mine.number = QStringLiteral("7");
    for (int i = 1; i <= 3; ++i) {
        mine.changes = i;
        writer.Submit(QStringLiteral("file.json"), ToJson(mine));
        ASSERT_TRUE(writer.Flush(2s));
    }
    QFile forged(folder + "/file.json");
    ASSERT_TRUE(forged.open(QIODevice::ReadOnly));
    EXPECT_EQ(forged.readAll(), "forged");
    const QStringList records = QDir(folder).entryList({"file_*.json"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(records.size(), 1) << records.join(' ').toStdString();
    EXPECT_EQ(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden).size(), 0);
}

// A write killed half-way leaves a temporary file; the next writer of this
// user on this host removes it, but never one of a writer still running.
TEST(RecordNames, LeftoversOfAKilledWriterGoWithTheNextWrite) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("results"));
    const QString spool = dir.filePath(QStringLiteral("spool"));
    QDir().mkpath(folder);
    QDir().mkpath(spool + "/temporary");
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    const QString host = SafeNamePart(QSysInfo::machineHostName(), 48);
    const auto leave = [&](pid_t pid, const QString& name) {
        QFile(folder + '/' + name).open(QIODevice::WriteOnly);
        QFile ledger(spool + "/temporary/" + host + '-' + QString::number(pid));
        ASSERT_TRUE(ledger.open(QIODevice::WriteOnly));
        ledger.write((folder + '\n' + name + '\n').toUtf8());
    };
    leave(gone, QStringLiteral(".left.tmp"));
    leave(::getppid(), QStringLiteral(".running.tmp"));
    ResultsWriter writer({folder, spool, 2s, 200ms, {}, {}}, {});
    writer.Submit(QStringLiteral("r.json"), ToJson(Record{}));
    ASSERT_TRUE(writer.Flush(2s));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList({".running.tmp", "r.json"}));
}

// The teacher's command: the JSON array with stable identifiers.
TEST(ResultsTool, JsonForScripts) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("room"));
    QDir().mkpath(folder);
    const QByteArray bytes = QByteArray::fromStdString(Gbk(kSourceText));
    QFile source(dir.filePath(QStringLiteral("原文.txt")));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write(bytes);
    source.close();
    Record r = Genuine(Typing(), 40000);
    r.sourceSha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    r.updated = QDateTime::currentDateTime();
    r.start = r.updated.addMSecs(-r.loggedAt);
    r.host = QStringLiteral("lab\x1b[2J\u009b2J\u202e");
    ASSERT_TRUE(WriteFileAtomically(folder, QStringLiteral("a.json"), ToJson(r)).ok);
    r.number = QStringLiteral("2");
    r.score = 100;
    for (exam::ExamEvent& e : r.log.events) {
        ++e.ms; // not a copy of the first
    }
    ASSERT_TRUE(WriteFileAtomically(folder, QStringLiteral("b.json"), ToJson(r)).ok);
    QProcess tool;
    tool.start(QStringLiteral(QARVEL_RESULTS_TOOL),
               {QStringLiteral("--json"), QStringLiteral("--source"), source.fileName(), folder});
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0);
    const QByteArray json = tool.readAllStandardOutput();
    EXPECT_FALSE(json.contains('\x1b') || json.contains("\u009b") ||
                 json.contains(QStringLiteral("\u202e").toUtf8()));
    const QJsonArray rows = QJsonDocument::fromJson(json).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["verified"].toString(), QStringLiteral("yes"));
    EXPECT_EQ(rows[0]["flags"].toArray().size(), 0);
    EXPECT_EQ(rows[0]["host"].toString(), r.host); // kept, escaped by JSON
    EXPECT_EQ(rows[1]["verified"].toString(), QStringLiteral("no"));
    EXPECT_EQ(rows[1]["flags"].toArray(), QJsonArray{QStringLiteral("not-verified")});
    for (const char* key : {"number", "name", "host", "state", "score", "correctAscii",
                            "correctHanzi", "elapsed", "file", "verified", "flags"}) {
        EXPECT_TRUE(rows[0].toObject().contains(QLatin1String(key))) << key;
    }
    // The table shows the host without its escape sequence.
    tool.setWorkingDirectory(dir.path());
    tool.start(QStringLiteral(QARVEL_RESULTS_TOOL),
               {QStringLiteral("--source"), source.fileName(), folder});
    ASSERT_TRUE(tool.waitForFinished(10000));
    const QByteArray table = tool.readAllStandardOutput();
    EXPECT_FALSE(table.contains('\x1b'));
    EXPECT_TRUE(table.contains("核验不符"));
}

} // namespace
