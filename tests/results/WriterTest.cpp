// The writer: the latest record wins, a folder that fails or hangs keeps the
// record locally with one notice, and kept records are delivered later.
#include "QtPrinting.h"
#include "results/Record.h"
#include "results/ResultsWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace qarvel::results;
using namespace std::chrono_literals;

QByteArray RecordBytes(int changes, const QDateTime& updated = QDateTime::currentDateTime()) {
    Record r;
    r.number = QStringLiteral("7");
    r.changes = changes;
    r.updated = updated;
    return ToJson(r);
}

int ChangesIn(const QString& path) {
    QFile file(path);
    const auto record = file.open(QIODevice::ReadOnly) ? FromJson(file.readAll()) : std::nullopt;
    return record ? record->changes : -1;
}

QStringList Kept(const QString& spoolRoot) {
    QStringList found;
    for (const QString& sub : QDir(spoolRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& name : QDir(spoolRoot + '/' + sub).entryList({"*.json"}, QDir::Files)) {
            found << name;
        }
    }
    return found;
}

bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500 && !condition(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

struct Fixture {
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("results"));
    QString spool = dir.filePath(QStringLiteral("spool"));
    std::atomic<int> notices = 0;
    // Where each handled submission went: its number, and true for the folder.
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, bool>> written;

    ResultsWriter::Config Config(std::chrono::milliseconds timeout = 500ms) {
        return {folder, spool, timeout, 200ms, {}, [this](std::uint64_t seq, bool inFolder) {
                    const std::lock_guard lock(mutex);
                    written.emplace_back(seq, inFolder);
                }};
    }
    std::vector<std::pair<std::uint64_t, bool>> Written() {
        const std::lock_guard lock(mutex);
        return written;
    }
    ResultsWriter::FailureNotice Notice() {
        return [this](const QString&) { ++notices; };
    }
};

TEST(ResultsWriter, TheLatestRecordWins) {
    Fixture f;
    QDir().mkpath(f.folder);
    ResultsWriter writer(f.Config(), f.Notice());
    for (int i = 1; i <= 100; ++i) {
        writer.Submit(QStringLiteral("r.json"), RecordBytes(i));
    }
    // The last one made into text in the writer's thread.
    writer.Submit(QStringLiteral("r.json"), [] { return RecordBytes(101); });
    ASSERT_TRUE(writer.Flush(2s));
    EXPECT_EQ(ChangesIn(f.folder + "/r.json"), 101);
    EXPECT_LE(writer.counts().folderWrites, 100);
    EXPECT_EQ(f.notices, 0);
    EXPECT_EQ(QDir(f.folder).entryList(QDir::Files | QDir::Hidden), QStringList{"r.json"});
}

TEST(ResultsWriter, AMissingFolderKeepsTheRecordUntilItComes) {
    Fixture f;
    ResultsWriter writer(f.Config(), f.Notice());
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(writer.Submit(QStringLiteral("r.json"), RecordBytes(i)), std::uint64_t(i));
        ASSERT_TRUE(writer.Flush(2s));
    }
    EXPECT_EQ(f.notices, 1) << "one notice, however often it fails";
    EXPECT_EQ(Kept(f.spool), QStringList{"r.json"});
    QDir().mkpath(f.folder);
    // No new record: the retry delivers the kept one, and says so.
    ASSERT_TRUE(Eventually([&] { return ChangesIn(f.folder + "/r.json") == 3; }));
    EXPECT_TRUE(Eventually([&] { return Kept(f.spool).isEmpty(); }));
    ASSERT_TRUE(Eventually([&] { return f.Written().size() == 4; }));
    using W = std::vector<std::pair<std::uint64_t, bool>>;
    EXPECT_EQ(f.Written(), (W{{1, false}, {2, false}, {3, false}, {3, true}}));
    EXPECT_EQ(f.notices, 1);
    // Away again after a delivery: that is told again.
    QDir(f.folder).removeRecursively();
    writer.Submit(QStringLiteral("r.json"), RecordBytes(4));
    ASSERT_TRUE(writer.Flush(2s));
    EXPECT_EQ(f.notices, 2);
}

// A folder that hangs costs the caller nothing and the record at most the timeout.
TEST(ResultsWriter, AHangingFolderCostsAtMostTheTimeout) {
    Fixture f;
    QDir().mkpath(f.folder);
    std::atomic<bool> hanging = true;
    ResultsWriter::Config config = f.Config(300ms);
    config.beforeFolderWrite = [&] {
        while (hanging) {
            std::this_thread::sleep_for(5ms);
        }
    };
    ResultsWriter writer(config, f.Notice());
    const auto begin = std::chrono::steady_clock::now();
    writer.Submit(QStringLiteral("r.json"), RecordBytes(1));
    // Back before the folder's timeout could pass: the caller never waits for it.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, config.timeout);
    ASSERT_TRUE(writer.Flush(2s));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1500ms);
    EXPECT_EQ(Kept(f.spool), QStringList{"r.json"});
    EXPECT_EQ(f.notices, 1);
    // While the folder still hangs, newer records go to the spool at once.
    writer.Submit(QStringLiteral("r.json"), RecordBytes(2));
    ASSERT_TRUE(writer.Flush(200ms));
    // The folder comes back: the hung write ends, and the newest record arrives.
    hanging = false;
    ASSERT_TRUE(Eventually([&] { return ChangesIn(f.folder + "/r.json") == 2; }));
    EXPECT_TRUE(Eventually([&] { return Kept(f.spool).isEmpty(); }));
}

TEST(ResultsWriter, RecordsKeptByAnEarlierRunAreDeliveredAtStart) {
    Fixture f;
    QDir().mkpath(f.folder);
    const QDateTime now = QDateTime::currentDateTime();
    // Kept earlier: a newer "a" than the folder's, an older "b" than the folder's.
    const QString kept = ResultsWriter::SpoolFolderFor(f.spool, f.folder);
    QDir().mkpath(kept);
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(kept + "/folder", f.folder.toUtf8());
    write(kept + "/a.json", RecordBytes(2, now));
    write(f.folder + "/a.json", RecordBytes(1, now.addSecs(-30)));
    write(kept + "/b.json", RecordBytes(1, now.addSecs(-30)));
    write(f.folder + "/b.json", RecordBytes(2, now));
    ResultsWriter writer(f.Config(), f.Notice());
    ASSERT_TRUE(Eventually([&] { return !QDir(kept).exists(); }));
    EXPECT_EQ(ChangesIn(f.folder + "/a.json"), 2);
    EXPECT_EQ(ChangesIn(f.folder + "/b.json"), 2);
    EXPECT_EQ(writer.counts().delivered, 2);
}

} // namespace
