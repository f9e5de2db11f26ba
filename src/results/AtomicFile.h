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
WriteOutcome WriteFileAtomically(const QString& folder, const QString& name,
                                 const QByteArray& bytes, unsigned mode = 0640);

// The temporary file that WriteFileAtomically uses for `name`: hidden (it
// begins with "."), so that readers of the folder pass it over.
QString TemporaryNameFor(const QString& name);

// A short Chinese description of a write error, for the examinee.
QString DescribeWriteError(int error);

} // namespace qarvel::results
