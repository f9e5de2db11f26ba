// The record: its JSON, its file name, the atomic replacement of its file,
// and the choice of the results folder.
#include "results/Record.h"

#include "QtPrinting.h"
#include "results/AtomicFile.h"
#include "results/BoundedRead.h"
#include "results/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

using namespace qarvel::results;

Record Sample() {
    Record r;
    r.program = ProgramVersion();
    r.host = QStringLiteral("lab-07");
    r.user = QStringLiteral("exam");
    r.name = QStringLiteral("张 \"三\"\n");
    r.number = QStringLiteral("20240917");
    r.duration = QStringLiteral("00:30:00");
    r.start = QDateTime(QDate(2026, 12, 7), QTime(13, 5, 0), QTimeZone(8 * 3600));
    r.updated = r.start.addSecs(95);
    r.state = QString::fromLatin1(kPaused);
    r.remaining = QStringLiteral("00:28:25");
    r.elapsed = QStringLiteral("00:01:35");
    r.sourcePath = QStringLiteral("/srv/exam/vexo/2.txt");
    r.sourceSha256 = QString(64, QLatin1Char('a'));
    r.sourceTotal = 305;
    r.sourceAscii = 5;
    r.sourceHanzi = 300;
    r.correctAscii = 2;
    r.correctHanzi = 40;
    r.score = 14;
    r.changes = 61;
    r.pauses = 1;
    r.pauseSeconds = 12;
    r.answer = QStringLiteral("春眠不觉晓，\n处处闻啼鸟。\\");
    return r;
}

TEST(Record, ReadsBackWhatWasWritten) {
    const Record r = Sample();
    const QByteArray json = ToJson(r);
    EXPECT_EQ(FromJson(json), r);
    EXPECT_TRUE(json.contains("\"start\": \"2026-12-07T13:05:00+08:00\"")) << json.constData();
    // UTC is written as an offset too.
    Record utc = r;
    utc.start = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    EXPECT_TRUE(ToJson(utc).contains("\"start\": \"2026-01-02T03:04:05+00:00\""));
}

TEST(Record, RefusesWhatIsNotARecord) {
    QByteArray otherSchema = ToJson(Sample());
    otherSchema.replace("\"schema\": 2", "\"schema\": 3");
    QByteArray cut = ToJson(Sample());
    cut.chop(20);
    for (const QByteArray& text : {QByteArray(), QByteArray("[]"), QByteArray("{}"), cut,
                                   otherSchema, QByteArray("{\"schema\": 1}")}) {
        EXPECT_FALSE(FromJson(text)) << text.constData();
    }
}

TEST(Record, FileNamePartsAreSafe) {
    const struct {
        const char* text;
        const char* safe;
    } cases[] = {
        {"Li Lei", "Li-Lei"},
        {" 张 三 ", "张-三"},
        {"../../etc/passwd", "etc-passwd"},
        {"a/b\\c:d*e?f|g", "a-b-c-d-e-f-g"},
        {"", "-"},
        {"...", "-"},
        {"😀", "-"},
        {"２０２４", "２０２４"},
        {"O'Brien-Smith", "O-Brien-Smith"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeNamePart(QString::fromUtf8(c.text)), QString::fromUtf8(c.safe)) << c.text;
    }
    EXPECT_EQ(SafeNamePart(QString(100, QLatin1Char('x'))).size(), 32);
    EXPECT_EQ(RecordFileName(Sample()),
              QStringLiteral("20240917_张-三_20261207T130500+0800_lab-07.json"));
}

TEST(Record, FileNamesOfAnyInputStayOneNameInTheFolder) {
    std::mt19937 random(7);
    const QString alphabet = QStringLiteral("aZ9 ./\\:*?\"<>|\n\t-_张三李四😀\u0301");
    for (int i = 0; i < 500; ++i) {
        Record r = Sample();
        for (QString* part : {&r.name, &r.number, &r.host}) {
            part->clear();
            for (int n = int(random() % 80); n > 0; --n) {
                *part += alphabet[qsizetype(random() % std::uint32_t(alphabet.size()))];
            }
        }
        const QString name = RecordFileName(r);
        EXPECT_FALSE(name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) << name;
        EXPECT_LE(name.toUtf8().size(), 255) << name;
        EXPECT_TRUE(name.endsWith(QStringLiteral(".json")));
        for (const QChar ch : name) {
            EXPECT_TRUE(ch.isLetterOrNumber() || QStringLiteral("-_+.").contains(ch)) << name;
        }
    }
}

TEST(AtomicFile, ReplacesWithoutTraces) {
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.path(), QStringLiteral("r.json"), "old").ok);
    ASSERT_TRUE(WriteFileAtomically(dir.path(), QStringLiteral("r.json"), "new").ok);
    QFile file(dir.filePath(QStringLiteral("r.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "new");
#ifndef _WIN32 // on Windows the folder's access control list decides, not a mode
    EXPECT_EQ(file.permissions() & QFileDevice::ReadOther, 0) << "others must not read records";
#endif
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"r.json"});

    const WriteOutcome missing =
        WriteFileAtomically(dir.filePath(QStringLiteral("gone")), QStringLiteral("r.json"), "x");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(DescribeWriteError(missing.error), QStringLiteral("文件夹不存在"));
}

// A reader that keeps reading the record while it is replaced sees one whole
// version each time, never a mix or a missing file.
TEST(AtomicFile, ReadersSeeOneWholeVersion) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.json"));
    const auto version = [](int n) {
        return QByteArray(1 + (n * 7919) % 20000, char('a' + n % 26));
    };
    ASSERT_TRUE(WriteFileAtomically(dir.path(), QStringLiteral("r.json"), version(0)).ok);
    std::atomic<bool> done = false;
    std::atomic<int> bad = 0;
    // Read as the program reads records (on Windows sharing their replacement).
    std::thread reader([&] {
        while (!done) {
            const QByteArray bytes = ReadBounded(path, 1 << 20, false).bytes;
            if (bytes.isEmpty() || bytes.count(bytes.front()) != bytes.size()) {
                ++bad;
            }
        }
    });
    int failed = 0;
    for (int n = 1; n < 200; ++n) {
        failed += WriteFileAtomically(dir.path(), QStringLiteral("r.json"), version(n)).ok ? 0 : 1;
    }
    done = true;
    reader.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(bad, 0);
}

TEST(Settings, TheAdministratorsFolderWins) {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first"));
    const QString second = dir.filePath(QStringLiteral("second"));
    const QString system = SystemConfigFolder();
#ifdef _WIN32
    const QString systemEnd = QStringLiteral("/ProgramData");
#else
    const QString systemEnd = QStringLiteral("/xdg");
#endif
    EXPECT_TRUE(system.endsWith(systemEnd) && QDir::isAbsolutePath(system)) << system.toStdString();
    QDir().mkpath(first + QStringLiteral("/qarvel"));
    QDir().mkpath(second + QStringLiteral("/qarvel"));
    const auto setting = [](const QString& folder, const QByteArray& text) {
        QFile file(folder + QStringLiteral("/qarvel/qarvel.conf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    EXPECT_EQ(AdminResultsFolder(first), QString());
    setting(first, "[General]\nOther=1\n");
    EXPECT_EQ(AdminResultsFolder(first), QString());
    setting(second, "ResultsFolder=/srv/results\n");
    EXPECT_EQ(AdminResultsFolder(second), QStringLiteral("/srv/results"));
    setting(first, "[General]\nResultsFolder = /srv/lab \n");
    EXPECT_EQ(AdminResultsFolder(first), QStringLiteral("/srv/lab"));
    // A folder named by the user's environment is never read.
    const QString before = AdminResultsFolder();
    qputenv("XDG_CONFIG_DIRS", (first + QLatin1Char(':') + second).toUtf8());
    EXPECT_EQ(AdminResultsFolder(), before);
    qunsetenv("XDG_CONFIG_DIRS");

    const QString here = QDir::currentPath();
    // The root of the current drive: "/", or "Z:/" on Windows.
    const QString root = here.left(here.indexOf(QLatin1Char('/')) + 1);
    const struct {
        QString commandLine, admin, chosen;
    } cases[] = {
        {"", "", ""},
        {"out", "", here + "/out"},
        {root + "tmp/x/../y", "", root + "tmp/y"},
        {"out", root + "srv/lab", root + "srv/lab"},
        {"", root + "srv/lab", root + "srv/lab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseResultsFolder(c.commandLine, c.admin), c.chosen)
            << c.commandLine.toStdString();
    }
}

TEST(Settings, TheRoomsDurationSourceAndNumber) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("qarvel")));
    const struct {
        const char* conf;
        QString duration, source;
        std::optional<bool> require;
        bool requiredWhenRecorded, requiredOtherwise;
    } cases[] = {
        {"", "", "", std::nullopt, true, false},
        {"[General]\nDuration= 00:45:00 \nSource=/srv/exam/unit3.txt\n", "00:45:00",
         "/srv/exam/unit3.txt", std::nullopt, true, false},
        {"RequireNumber=true\n", "", "", true, true, true},
        {"RequireNumber=No\n", "", "", false, false, false},
        {"RequireNumber=perhaps\n", "", "", std::nullopt, true, false},
    };
    for (const auto& c : cases) {
        QFile file(dir.filePath(QStringLiteral("qarvel/qarvel.conf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.conf);
        file.close();
        const AdminSettings admin = ReadAdminSettings(dir.path());
        EXPECT_EQ(admin.duration, c.duration) << c.conf;
        EXPECT_EQ(admin.source, c.source) << c.conf;
        EXPECT_EQ(admin.requireNumber, c.require) << c.conf;
        EXPECT_EQ(NumberRequired(admin, true), c.requiredWhenRecorded) << c.conf;
        EXPECT_EQ(NumberRequired(admin, false), c.requiredOtherwise) << c.conf;
    }
}

} // namespace
