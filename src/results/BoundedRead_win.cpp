#include "BoundedRead.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <QDir>
#include <algorithm>
#include <windows.h>

namespace qarvel::results {
namespace {

BoundedRead Refused(const QString& reason) {
    BoundedRead result;
    result.reason = reason;
    return result;
}

QString Reason(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return QStringLiteral("没有读取权限");
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return QStringLiteral("文件不存在");
    default:
        return QStringLiteral("无法打开：错误 %1").arg(error);
    }
}

QDateTime FromFileTime(const FILETIME& time) {
    // 100-nanosecond steps since 1601-01-01 UTC.
    const quint64 ticks = quint64{time.dwHighDateTime} << 32 | time.dwLowDateTime;
    constexpr quint64 kUnixEpoch = 116444736000000000ULL;
    const qint64 ms = ticks >= kUnixEpoch ? qint64((ticks - kUnixEpoch) / 10000) : 0;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace

// As on other systems: only a file on a disk, never a device or a pipe, and
// with `followLinks` false never a symbolic link (a reparse point).
BoundedRead ReadBounded(const QString& path, qint64 cap, bool followLinks) {
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Refused(Reason(GetLastError()));
    }
    struct Closer {
        HANDLE file;
        ~Closer() { CloseHandle(file); }
    } closer{file};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info) == FALSE) {
        return Refused(Reason(GetLastError()));
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !followLinks) {
        return Refused(QStringLiteral("不是普通文件（符号链接）"));
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Refused(QStringLiteral("不是普通文件（文件夹）"));
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return Refused(QStringLiteral("不是普通文件（设备）"));
    }
    const auto size = qint64(quint64{info.nFileSizeHigh} << 32 | info.nFileSizeLow);
    if (size > cap) {
        return Refused(QStringLiteral("文件太大（%1 字节，上限 %2 字节）").arg(size).arg(cap));
    }
    BoundedRead result;
    result.modified = FromFileTime(info.ftLastWriteTime);
    result.bytes.resize(qsizetype(size));
    qint64 have = 0;
    for (;;) {
        if (have == result.bytes.size()) {
            if (have >= cap) {
                char probe = 0;
                DWORD more = 0;
                if (ReadFile(file, &probe, 1, &more, nullptr) != FALSE && more > 0) {
                    return Refused(QStringLiteral("文件太大（上限 %1 字节）").arg(cap));
                }
                break;
            }
            result.bytes.resize(qsizetype(std::min<qint64>(cap, std::max<qint64>(have * 2, 4096))));
        }
        DWORD got = 0;
        const auto want = DWORD(std::min<qint64>(result.bytes.size() - have, 1 << 20));
        if (ReadFile(file, result.bytes.data() + have, want, &got, nullptr) == FALSE) {
            return Refused(Reason(GetLastError()));
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
