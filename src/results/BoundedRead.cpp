#include "BoundedRead.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qarvel::results {
namespace {

QString KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("文件夹");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("管道");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("设备");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("套接字");
    }
    return QStringLiteral("特殊文件");
}

QString Errno(int error) {
    if (error == ELOOP) {
        return QStringLiteral("不是普通文件（符号链接）");
    }
    if (error == EACCES || error == EPERM) {
        return QStringLiteral("没有读取权限");
    }
    if (error == ENOENT) {
        return QStringLiteral("文件不存在");
    }
    return QStringLiteral("无法打开：%1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

BoundedRead Refused(const QString& reason) {
    BoundedRead result;
    result.reason = reason;
    return result;
}

} // namespace

BoundedRead ReadBounded(const QString& path, qint64 cap, bool followLinks) {
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW);
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        return Refused(Errno(errno));
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return Refused(Errno(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return Refused(QStringLiteral("不是普通文件（%1）").arg(KindOf(info.st_mode)));
    }
    if (info.st_size > cap) {
        return Refused(
            QStringLiteral("文件太大（%1 字节，上限 %2 字节）").arg(info.st_size).arg(cap));
    }
    // A regular file read to its end, never past the cap, even when it grows meanwhile.
    BoundedRead result;
    result.modified = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec);
    result.bytes.resize(qsizetype(info.st_size));
    qint64 have = 0;
    for (;;) {
        if (have == result.bytes.size()) {
            if (have >= cap) {
                char probe = 0;
                const ssize_t more = ::read(fd, &probe, 1);
                if (more > 0) {
                    return Refused(QStringLiteral("文件太大（上限 %1 字节）").arg(cap));
                }
                break;
            }
            result.bytes.resize(qsizetype(std::min<qint64>(cap, std::max<qint64>(have * 2, 4096))));
        }
        const ssize_t got =
            ::read(fd, result.bytes.data() + have, std::size_t(result.bytes.size() - have));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Refused(Errno(errno));
        }
        if (got == 0) {
            break;
        }
        have += got;
    }
    result.bytes.truncate(qsizetype(have));
    result.ok = true;
    return result;
}

} // namespace qarvel::results
