#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace qarvel::results {

// Writes the records of one exam into the results folder from threads of its
// own, so that a slow or hanging folder never holds up the caller.
//
// The latest submitted record wins: records submitted while a write is under
// way replace each other, and only the newest is written next. A write that
// fails, or that the folder has not finished within the timeout, keeps the
// record in a spool folder of the user's own (one subfolder per results
// folder); the next submission, or a retry after `retry`, tries the folder
// again, and once the folder takes a record, every record kept in the spool
// is delivered to its folder. Records kept by an earlier run are delivered
// when a writer starts. A record in the folder is never replaced by an older
// spooled one.
class ResultsWriter {
public:
    struct Config {
        QString folder;    // absolute
        QString spoolRoot; // e.g. DefaultSpoolRoot()
        std::chrono::milliseconds timeout{3000};
        std::chrono::milliseconds retry{10000};
        // Runs in the folder's thread before each write there: tests make
        // the folder hang with it.
        std::function<void()> beforeFolderWrite;
        // Told, from the writer's thread, where each handled record went: the
        // submission's number (Submit's), and whether it is in the folder
        // (false: kept in the spool). A record delivered on a later try is
        // told again, as in the folder.
        std::function<void(std::uint64_t submission, bool inFolder)> written;
    };
    // Told, from the writer's thread, why the folder could not be written:
    // once, and once more after each time the folder took a record again.
    using FailureNotice = std::function<void(const QString& reason)>;

    struct Counts {
        int folderWrites = 0;                   // records written into a results folder
        int spoolWrites = 0;                    // records kept in the spool
        int failures = 0;                       // writes that failed or timed out
        int delivered = 0;                      // spooled records delivered later
        std::chrono::microseconds lastWrite{0}; // the latest successful folder write
        std::chrono::microseconds slowestWrite{0};
    };

    ResultsWriter(Config config, FailureNotice notice);
    ~ResultsWriter();
    ResultsWriter(const ResultsWriter&) = delete;
    ResultsWriter& operator=(const ResultsWriter&) = delete;

    // Hands over the record `bytes` for the file `name`; returns at once with
    // the submission's number (growing from 1).
    std::uint64_t Submit(const QString& name, const QByteArray& bytes);
    // The same, the bytes made by `make` in the writer's own thread (a long
    // record takes milliseconds to write out as text).
    std::uint64_t Submit(const QString& name, std::function<QByteArray()> make);

    // Waits, at most `limit`, until the latest submitted record is in the
    // folder or in the spool. True when it is.
    bool Flush(std::chrono::milliseconds limit);

    [[nodiscard]] Counts counts() const;

    // $XDG_STATE_HOME/qarvel/results, by default ~/.local/state/qarvel/results.
    static QString DefaultSpoolRoot();
    // The spool's subfolder for the results folder `folder`.
    static QString SpoolFolderFor(const QString& spoolRoot, const QString& folder);

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

} // namespace qarvel::results
