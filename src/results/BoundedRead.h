#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace qarvel::results {

// The most a record may hold: a 30-minute exam's record is some 30 kB; a
// whole day of typing at the fastest pace a person keeps up stays under 8 MB.
inline constexpr qint64 kRecordCap = 16 * 1024 * 1024;
// The most a source text may hold for the results tool: an exam's text is a
// few hundred kilobytes, a whole book some 2 MB.
inline constexpr qint64 kSourceCap = 16 * 1024 * 1024;

// A file read with its bounds, or why it was not.
struct BoundedRead {
    bool ok = false;
    QByteArray bytes;
    QDateTime modified; // the file's last write
    QString reason;     // in Chinese, for the table: "不是普通文件（符号链接）"
};

// Reads `path` only when it is a regular file of at most `cap` bytes: opened
// without blocking (a FIFO or a device never holds the reader up), checked
// with fstat before anything is read, read a block at a time up to the cap.
// With `followLinks` false a symbolic link is refused too (entries of a folder
// others can write to).
BoundedRead ReadBounded(const QString& path, qint64 cap, bool followLinks);

} // namespace qarvel::results
