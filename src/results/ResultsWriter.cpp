#include "ResultsWriter.h"

#include "AtomicFile.h"
#include "FileSystem.h"
#include "Record.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace qarvel::results {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFolderFile = "folder"; // names the results folder of a spool subfolder

struct Job {
    std::uint64_t seq = 0;
    QString name;
    QByteArray bytes;
    std::function<QByteArray()> make; // makes `bytes`, in the writer's thread
};

bool IsRecordName(const QString& name) {
    return name.endsWith(QStringLiteral(".json")) && !name.startsWith(QLatin1Char('.'));
}

QByteArray ReadAll(const QString& path, bool* exists = nullptr) {
    QFile file(path);
    if (exists != nullptr) {
        *exists = file.exists();
    }
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `bytes` under a name of its own: `name` when nothing has it, else
// the same name with another random part.
WriteOutcome Claim(const QString& folder, QString& name, const QByteArray& bytes,
                   const QString& temporary) {
    WriteOutcome outcome;
    for (int attempt = 0; attempt < 16; ++attempt) {
        outcome = CreateFileExclusively(folder, name, bytes, 0640, temporary);
        if (outcome.ok || outcome.error != EEXIST) {
            return outcome;
        }
        name = RetaggedFileName(name);
    }
    return outcome;
}

// Whether `folder`/`name` is a plain file of this user's; -1 with errno when
// nothing can be told.
int OwnFile(const QString& folder, const QString& name) {
    return OwnPlainFile(folder + QLatin1Char('/') + name);
}

// Writes a spooled record into its folder unless the folder holds a newer one.
// A name that someone else has taken meanwhile is not ours: another is chosen.
WriteOutcome Deliver(const QString& target, QString name, const QByteArray& bytes,
                     const QString& temporary) {
    const int own = OwnFile(target, name);
    if (own < 0 && errno != ENOENT) {
        return {false, errno};
    }
    if (own != 1) {
        return Claim(target, name, bytes, temporary);
    }
    const auto there = FromJson(ReadAll(target + QLatin1Char('/') + name));
    const auto kept = FromJson(bytes);
    if (there && kept && there->updated >= kept->updated) {
        return {true, 0};
    }
    return WriteFileAtomically(target, name, bytes, 0640, temporary);
}

// The ledger of this process's temporary files: a crash leaves the one being
// written; the next writer of this user on this host removes it.
QString LedgerFolder(const QString& spoolRoot) {
    return spoolRoot + QStringLiteral("/temporary");
}

QString LedgerPrefix() {
    return SafeNamePart(QSysInfo::machineHostName(), 48) + QLatin1Char('-');
}

void NoteTemporary(const QString& ledger, const QString& folder, const QString& temporary) {
    QFile file(ledger);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write((folder + QLatin1Char('\n') + temporary + QLatin1Char('\n')).toUtf8());
    }
}

// Removes the temporary files that writers of this user on this host left
// when they ended before finishing a write: only plain files of this user's,
// only those of processes that are gone.
void RemoveLeftovers(const QString& spoolRoot) {
    const QDir ledgers(LedgerFolder(spoolRoot));
    const QString prefix = LedgerPrefix();
    for (const QString& entry : ledgers.entryList({prefix + QLatin1Char('*')}, QDir::Files)) {
        bool number = false;
        const qint64 pid = entry.mid(prefix.size()).toLongLong(&number);
        if (!number || pid <= 0 || pid == ThisProcessId() || !ProcessGone(pid)) {
            continue;
        }
        const QStringList lines =
            QString::fromUtf8(ReadAll(ledgers.filePath(entry))).split(QLatin1Char('\n'));
        if (lines.size() >= 2 && lines[1].startsWith(QLatin1Char('.')) &&
            !lines[1].contains(QLatin1Char('/')) && OwnFile(lines[0], lines[1]) == 1) {
            QFile::remove(lines[0] + QLatin1Char('/') + lines[1]);
        }
        QFile::remove(ledgers.filePath(entry));
    }
}

} // namespace

struct ResultsWriter::Shared {
    Config config;
    FailureNotice notice;
    QString spoolFolder;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;

    // Between the caller and the coordinating thread.
    Job latest;
    std::uint64_t handled = 0; // the latest sequence number taken up
    std::uint64_t stored = 0;  // the latest in the folder or the spool
    Counts counts;

    // Between the coordinating thread and the folder thread, which alone
    // touches the results folder and may hang in it.
    std::function<WriteOutcome()> task;
    bool busy = false;
    bool taskDone = false;
    WriteOutcome taskOutcome;

    // The coordinating thread's own.
    std::optional<Job> unsent; // kept in the spool, not yet in the folder
    bool noticeGiven = false;
    bool leftoversRemoved = false;
    QString ledger; // this process's ledger of temporary files

    // Guarded by the mutex: the name each submitted name has in the folder,
    // and the names this writer created there.
    std::map<QString, QString> actual;
    std::set<QString> claimed;

    std::thread coordinator;
    std::thread folderThread;

    void RunFolderThread();
    void RunCoordinator();
    // Runs `work` in the folder thread for at most the timeout. Nothing when
    // it timed out or the folder thread still hangs in an earlier task.
    std::optional<WriteOutcome> InFolder(std::function<WriteOutcome()> work);
    bool WriteToFolder(const Job& job);
    void Keep(const Job& job);
    void DeliverSpool();
    void Failed(int error);
};

void ResultsWriter::Shared::RunFolderThread() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return stop || (busy && !taskDone); });
        if (!(busy && !taskDone)) {
            return;
        }
        auto work = std::move(task);
        lock.unlock();
        const WriteOutcome outcome = work();
        lock.lock();
        taskOutcome = outcome;
        taskDone = true;
        busy = false;
        changed.notify_all();
    }
}

std::optional<WriteOutcome> ResultsWriter::Shared::InFolder(std::function<WriteOutcome()> work) {
    std::unique_lock lock(mutex);
    if (busy) {
        return std::nullopt;
    }
    task = std::move(work);
    busy = true;
    taskDone = false;
    changed.notify_all();
    if (!changed.wait_for(lock, config.timeout, [&] { return taskDone || stop; }) || !taskDone) {
        return std::nullopt;
    }
    return taskOutcome;
}

void ResultsWriter::Shared::Failed(int error) {
    bool first = false;
    {
        std::lock_guard lock(mutex);
        ++counts.failures;
        first = !noticeGiven && !stop;
        noticeGiven = true;
    }
    if (first && notice) {
        notice(DescribeWriteError(error));
    }
}

bool ResultsWriter::Shared::WriteToFolder(const Job& job) {
    const auto begin = Clock::now();
    const QString folder = config.folder;
    QString name;
    bool ours = false;
    {
        std::lock_guard lock(mutex);
        const auto it = actual.find(job.name);
        name = it != actual.end() ? it->second : job.name;
        ours = claimed.count(name) > 0;
    }
    const QString temporary = TemporaryNameFor(name);
    QDir().mkpath(LedgerFolder(config.spoolRoot));
    NoteTemporary(ledger, folder, temporary);
    const bool removeLeftovers = !leftoversRemoved;
    leftoversRemoved = true;
    const QString spoolRoot = config.spoolRoot;
    const auto before = config.beforeFolderWrite;
    // The first write creates the file under a name nobody has; later ones
    // replace that file. The claim is noted even when the caller has
    // stopped waiting for a folder that hangs.
    const auto outcome = InFolder(
        [this, folder, name, ours, temporary, removeLeftovers, spoolRoot, job, before]() mutable {
            if (before) {
                before();
            }
            if (removeLeftovers) {
                RemoveLeftovers(spoolRoot);
            }
            if (ours) {
                return WriteFileAtomically(folder, name, job.bytes, 0640, temporary);
            }
            WriteOutcome result;
            for (int attempt = 0; attempt < 16; ++attempt) {
                result = CreateFileExclusively(folder, name, job.bytes, 0640, temporary);
                if (result.ok || result.error != EEXIST) {
                    break;
                }
                name = RetaggedFileName(name);
            }
            if (result.ok) {
                std::lock_guard lock(mutex);
                actual[job.name] = name;
                claimed.insert(name);
            }
            return result;
        });
    if (!outcome || !outcome->ok) {
        Failed(outcome ? outcome->error : ETIMEDOUT);
        return false;
    }
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin);
    {
        std::lock_guard lock(mutex);
        noticeGiven = false; // a later failure is news again
        ++counts.folderWrites;
        counts.lastWrite = took;
        counts.slowestWrite = std::max(counts.slowestWrite, took);
    }
    // The folder holds the newest state now: a spooled copy is stale.
    QFile::remove(spoolFolder + QLatin1Char('/') + job.name);
    return true;
}

void ResultsWriter::Shared::Keep(const Job& job) {
    QDir().mkpath(spoolFolder);
    KeepToOwner(spoolFolder);
    const QString folderFile = spoolFolder + QLatin1Char('/') + QLatin1String(kFolderFile);
    if (!QFile::exists(folderFile)) {
        WriteFileAtomically(spoolFolder, QLatin1String(kFolderFile), config.folder.toUtf8(), 0600);
    }
    if (WriteFileAtomically(spoolFolder, job.name, job.bytes, 0600).ok) {
        std::lock_guard lock(mutex);
        ++counts.spoolWrites;
    }
}

void ResultsWriter::Shared::DeliverSpool() {
    const QDir root(config.spoolRoot);
    const QStringList subfolders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& sub : subfolders) {
        const QString kept = root.filePath(sub);
        const QString target =
            QString::fromUtf8(ReadAll(kept + QLatin1Char('/') + QLatin1String(kFolderFile)));
        if (target.isEmpty()) {
            continue;
        }
        for (const QString& name : QDir(kept).entryList(QDir::Files, QDir::Name)) {
            if (!IsRecordName(name) || (unsent && kept == spoolFolder && name == unsent->name)) {
                continue;
            }
            const QByteArray bytes = ReadAll(kept + QLatin1Char('/') + name);
            const QString temporary = TemporaryNameFor(name);
            QDir().mkpath(LedgerFolder(config.spoolRoot));
            NoteTemporary(ledger, target, temporary);
            const auto outcome = InFolder([target, name, bytes, temporary] {
                return Deliver(target, name, bytes, temporary);
            });
            if (!outcome || !outcome->ok) {
                break; // that folder is still away; the next try comes later
            }
            QFile::remove(kept + QLatin1Char('/') + name);
            std::lock_guard lock(mutex);
            ++counts.delivered;
        }
        const QStringList left = QDir(kept).entryList(QDir::Files | QDir::Hidden);
        if (left == QStringList{QLatin1String(kFolderFile)}) {
            QDir(kept).removeRecursively();
        }
    }
}

void ResultsWriter::Shared::RunCoordinator() {
    DeliverSpool();
    std::unique_lock lock(mutex);
    for (;;) {
        const auto fresh = [&] { return stop || latest.seq > handled; };
        if (unsent) {
            changed.wait_for(lock, config.retry, fresh);
        } else {
            changed.wait(lock, fresh);
        }
        if (stop) {
            return;
        }
        const bool retry = latest.seq <= handled;
        Job job = retry ? *unsent : latest;
        handled = std::max(handled, job.seq);
        lock.unlock();
        if (job.make) {
            job.bytes = job.make();
            job.make = nullptr;
        }
        const bool inFolder = WriteToFolder(job);
        if (inFolder) {
            const bool wasAway = unsent.has_value();
            unsent.reset();
            if (wasAway) {
                DeliverSpool();
            }
        } else if (!retry) {
            Keep(job);
            unsent = job;
        }
        if ((inFolder || !retry) && config.written) {
            config.written(job.seq, inFolder);
        }
        lock.lock();
        stored = std::max(stored, job.seq);
        changed.notify_all();
    }
}

ResultsWriter::ResultsWriter(Config config, FailureNotice notice)
    : shared_(std::make_shared<Shared>()) {
    shared_->config = std::move(config);
    shared_->notice = std::move(notice);
    shared_->spoolFolder = SpoolFolderFor(shared_->config.spoolRoot, shared_->config.folder);
    shared_->ledger = LedgerFolder(shared_->config.spoolRoot) + QLatin1Char('/') + LedgerPrefix() +
                      QString::number(ThisProcessId());
    // Each thread holds the shared state: a folder thread that hangs in a
    // dead share may outlive the writer.
    auto shared = shared_;
    shared_->folderThread = std::thread([shared] { shared->RunFolderThread(); });
    shared_->coordinator = std::thread([shared] { shared->RunCoordinator(); });
}

ResultsWriter::~ResultsWriter() {
    bool hanging = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
        hanging = shared_->busy;
        shared_->changed.notify_all();
    }
    shared_->coordinator.join();
    if (!hanging) {
        QFile::remove(shared_->ledger); // no write is under way
    }
    if (hanging) {
        shared_->folderThread.detach();
    } else {
        shared_->folderThread.join();
    }
}

std::uint64_t ResultsWriter::Submit(const QString& name, const QByteArray& bytes) {
    std::lock_guard lock(shared_->mutex);
    shared_->latest = Job{shared_->latest.seq + 1, name, bytes, {}};
    shared_->changed.notify_all();
    return shared_->latest.seq;
}

std::uint64_t ResultsWriter::Submit(const QString& name, std::function<QByteArray()> make) {
    std::lock_guard lock(shared_->mutex);
    shared_->latest = Job{shared_->latest.seq + 1, name, {}, std::move(make)};
    shared_->changed.notify_all();
    return shared_->latest.seq;
}

bool ResultsWriter::Flush(std::chrono::milliseconds limit) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, limit,
                                     [&] { return shared_->stored >= shared_->latest.seq; });
}

ResultsWriter::Counts ResultsWriter::counts() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->counts;
}

QString ResultsWriter::DefaultSpoolRoot() {
    return UserStateFolder() + QStringLiteral("/qarvel/results");
}

QString ResultsWriter::SpoolFolderFor(const QString& spoolRoot, const QString& folder) {
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(folder).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return spoolRoot + QLatin1Char('/') + QString::fromLatin1(key);
}

} // namespace qarvel::results
