#include "AtomicFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <windows.h>

namespace qarvel::results {
namespace {

// The C library's number for a Windows error, so that callers and
// DescribeWriteError need to know one kind only.
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_SEM_TIMEOUT:
        return ETIMEDOUT;
    default:
        return EIO; // a lost share (ERROR_NETNAME_DELETED, ERROR_UNEXP_NET_ERR...) and the rest
    }
}

// A path for the system's wide calls: "\" separators, so that a UNC path
// (\\server\share\typing) stays one.
std::wstring Native(const QString& folder, const QString& name) {
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name).toStdWString();
}

// Writes the temporary file, new (never an existing one: CREATE_NEW), flushed
// to the disk. 0 or the error; nothing is left on failure.
int WriteTemporary(const std::wstring& path, const QByteArray& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return ErrnoOf(GetLastError());
    }
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    DWORD failed = 0;
    while (left > 0 && failed == 0) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 20));
        if (WriteFile(file, data, chunk, &written, nullptr) == FALSE) {
            failed = GetLastError();
            break;
        }
        data += written;
        left -= written;
    }
    // A share may report a full disk or a lost connection only here.
    if (failed == 0 && FlushFileBuffers(file) == FALSE) {
        failed = GetLastError();
    }
    if (CloseHandle(file) == FALSE && failed == 0) {
        failed = GetLastError();
    }
    if (failed != 0) {
        DeleteFileW(path.c_str());
        return ErrnoOf(failed);
    }
    return 0;
}

QString Temporary(const QString& name, const QString& temporary) {
    return temporary.isEmpty() ? TemporaryNameFor(name) : temporary;
}

// Renames the written temporary file to the target: over an old one or, for a
// new name, only where nothing has the name yet. The temporary file goes on failure.
// A file open in another program that does not share deleting (a viewer, a
// virus scanner, the teacher's spreadsheet) cannot be replaced until it is
// closed: the replace is tried again for up to about two seconds.
WriteOutcome Rename(const std::wstring& from, const std::wstring& to, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    const ULONGLONG giveUp = GetTickCount64() + 2000;
    DWORD failed = 0;
    for (;;) {
        if (MoveFileExW(from.c_str(), to.c_str(), flags) != FALSE) {
            return {true, 0};
        }
        failed = GetLastError();
        const bool held = failed == ERROR_SHARING_VIOLATION || failed == ERROR_ACCESS_DENIED ||
                          failed == ERROR_LOCK_VIOLATION;
        if (!replace || !held || GetTickCount64() > giveUp) {
            break;
        }
        Sleep(1);
    }
    DeleteFileW(from.c_str());
    return {false, ErrnoOf(failed)};
}

} // namespace

QString TemporaryNameFor(const QString& name) {
    const quint64 random = QRandomGenerator::system()->generate64();
    return QLatin1Char('.') + name.left(24) + QLatin1Char('.') +
           QString::number(GetCurrentProcessId()) + QLatin1Char('.') + QString::number(random, 36) +
           QStringLiteral(".tmp");
}

// The file's mode is the folder's business on Windows (its access control list).
WriteOutcome WriteFileAtomically(const QString& folder, const QString& name,
                                 const QByteArray& bytes, unsigned /*mode*/,
                                 const QString& temporary) {
    const std::wstring path = Native(folder, Temporary(name, temporary));
    if (const int error = WriteTemporary(path, bytes); error != 0) {
        return {false, error};
    }
    return Rename(path, Native(folder, name), true);
}

WriteOutcome CreateFileExclusively(const QString& folder, const QString& name,
                                   const QByteArray& bytes, unsigned /*mode*/,
                                   const QString& temporary) {
    const std::wstring path = Native(folder, Temporary(name, temporary));
    if (const int error = WriteTemporary(path, bytes); error != 0) {
        return {false, error};
    }
    // A rename that may not replace takes the name only if nothing has it.
    return Rename(path, Native(folder, name), false);
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
        return QStringLiteral("磁盘已满");
    case ETIMEDOUT:
        return QStringLiteral("文件夹没有响应");
    case EIO:
        return QStringLiteral("网络文件夹连接中断");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace qarvel::results
