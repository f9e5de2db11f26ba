#include "AtomicFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qarvel::results {
namespace {

int Fail(int fd, const QByteArray& temporary) {
    const int error = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    ::unlink(temporary.constData());
    return error;
}

} // namespace

QString TemporaryNameFor(const QString& name) {
    // The start of the name tells a person whose it is; the whole name may be
    // too long for one more part.
    const quint64 random = QRandomGenerator::system()->generate64();
    return QLatin1Char('.') + name.left(24) + QLatin1Char('.') + QString::number(::getpid()) +
           QLatin1Char('.') + QString::number(random, 36) + QStringLiteral(".tmp");
}

namespace {

void SyncFolder(const QString& folder) {
    // The rename itself reaches the disk with the folder. A drop-box folder
    // that its writers may not read cannot be opened for that; the rename
    // is then as durable as the file system makes it.
    const QByteArray folderPath = QFile::encodeName(folder);
    const int dirFd = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// Writes the temporary file, new (never an existing one, never through a
// link), flushed to the disk. 0 or the errno; nothing is left on failure.
int WriteTemporary(const QByteArray& temporary, const QByteArray& bytes, unsigned mode) {
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
               static_cast<mode_t>(mode));
    if (fd < 0) {
        return errno;
    }
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        return Fail(fd, temporary);
    }
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail(fd, temporary);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    // A network file system may report a full disk or a lost share only here.
    if (::fsync(fd) != 0) {
        return Fail(fd, temporary);
    }
    if (::close(fd) != 0) {
        return Fail(-1, temporary);
    }
    return 0;
}

QByteArray TemporaryPath(const QString& folder, const QString& name, const QString& temporary) {
    return QFile::encodeName(folder + QLatin1Char('/') +
                             (temporary.isEmpty() ? TemporaryNameFor(name) : temporary));
}

} // namespace

WriteOutcome WriteFileAtomically(const QString& folder, const QString& name,
                                 const QByteArray& bytes, unsigned mode, const QString& temporary) {
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + name);
    const QByteArray path = TemporaryPath(folder, name, temporary);
    if (const int error = WriteTemporary(path, bytes, mode); error != 0) {
        return {false, error};
    }
    if (::rename(path.constData(), target.constData()) != 0) {
        return {false, Fail(-1, path)};
    }
    SyncFolder(folder);
    return {true, 0};
}

WriteOutcome CreateFileExclusively(const QString& folder, const QString& name,
                                   const QByteArray& bytes, unsigned mode,
                                   const QString& temporary) {
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + name);
    const QByteArray path = TemporaryPath(folder, name, temporary);
    if (const int error = WriteTemporary(path, bytes, mode); error != 0) {
        return {false, error};
    }
    // A hard link takes the name only if nothing has it, and follows no link.
    if (::link(path.constData(), target.constData()) == 0) {
        ::unlink(path.constData());
        SyncFolder(folder);
        return {true, 0};
    }
    const int error = errno;
    if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != EMLINK &&
        error != ENOSYS) {
        return {false, Fail(-1, path)};
    }
    // A file system without hard links: the name is claimed by an empty file
    // of our own, then replaced.
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          static_cast<mode_t>(mode));
    if (fd < 0) {
        return {false, Fail(-1, path)};
    }
    ::close(fd);
    if (::rename(path.constData(), target.constData()) != 0) {
        const int renameError = Fail(-1, path);
        ::unlink(target.constData());
        return {false, renameError};
    }
    SyncFolder(folder);
    return {true, 0};
}

QString DescribeWriteError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("文件夹只读");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘已满");
    case ETIMEDOUT:
        return QStringLiteral("文件夹没有响应");
    case EIO:
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
        return QStringLiteral("网络文件夹连接中断");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace qarvel::results
