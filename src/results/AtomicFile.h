#pragma once

#include <QByteArray>
#include <QString>

namespace qarvel::results {

// What became of a write; `error` is the system's errno (0 on success).
struct WriteOutcome {
    bool ok = false;
    int error = 0;
};

// Replaces `folder`/`name` with `bytes` so that a reader, a crash or a power
// cut finds either the old file or the new one, never part of one: the bytes
// go to a hidden temporary file in the same folder, are flushed to the disk,
// and the temporary file is renamed over `name`. On failure the temporary
// file is removed and `name` is left as it was. The file gets mode `mode`
// whatever the umask.
// The temporary file is created exclusively, never through a symbolic link;
// `temporary` names it (TemporaryNameFor), by default a fresh one.
WriteOutcome WriteFileAtomically(const QString& folder, const QString& name,
                                 const QByteArray& bytes, unsigned mode = 0640,
                                 const QString& temporary = {});

// Writes `bytes` as the new file `folder`/`name`, which must not exist yet:
// fails with EEXIST when anything has the name (a file, a symbolic link, a
// folder), and then leaves it alone. A reader finds the whole file or none.
WriteOutcome CreateFileExclusively(const QString& folder, const QString& name,
                                   const QByteArray& bytes, unsigned mode = 0640,
                                   const QString& temporary = {});

// A temporary file for `name`: hidden (it begins with "."), so that readers
// of the folder pass it over, with this process's number and a random part
// from the system's generator, so that nobody can make it beforehand.
QString TemporaryNameFor(const QString& name);

// A short Chinese description of a write error, for the examinee.
QString DescribeWriteError(int error);

} // namespace qarvel::results
