#include "AtomicFile.h"

#include <QFile>
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
    return QLatin1Char('.') + name + QLatin1Char('.') + QString::number(::getpid()) +
           QStringLiteral(".tmp");
}

WriteOutcome WriteFileAtomically(const QString& folder, const QString& name,
                                 const QByteArray& bytes, unsigned mode) {
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + name);
    const QByteArray temporary =
        QFile::encodeName(folder + QLatin1Char('/') + TemporaryNameFor(name));
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
               static_cast<mode_t>(mode));
    if (fd < 0) {
        return {false, errno};
    }
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        return {false, Fail(fd, temporary)};
    }
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {false, Fail(fd, temporary)};
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    // A network file system may report a full disk or a lost share only here.
    if (::fsync(fd) != 0) {
        return {false, Fail(fd, temporary)};
    }
    if (::close(fd) != 0) {
        return {false, Fail(-1, temporary)};
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        return {false, Fail(-1, temporary)};
    }
    // The rename itself reaches the disk with the folder. A drop-box folder
    // that its writers may not read cannot be opened for that; the rename
    // is then as durable as the file system makes it.
    const QByteArray folderPath = QFile::encodeName(folder);
    const int dirFd = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
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
