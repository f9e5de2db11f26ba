#include "FileSystem.h"
#include "Settings.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <QDir>
#include <cerrno>
#include <windows.h>

namespace qarvel::results {

// Machine-wide program data, which only administrators may change:
// C:\ProgramData unless the system moved it.
QString SystemConfigFolder() {
    const QString data = qEnvironmentVariable("ProgramData");
    return data.isEmpty() ? QString() : QDir::fromNativeSeparators(data);
}

// A file the user could write counts as the user's: Windows keeps owners in
// security descriptors, which a share may not report.
int OwnPlainFile(const QString& path) {
    const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
        return -1;
    }
    const DWORD notPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    return (attributes & notPlain) == 0 ? 1 : 0;
}

bool ProcessGone(qint64 pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    }
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(process, &code) != FALSE && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

qint64 ThisProcessId() {
    return static_cast<qint64>(GetCurrentProcessId());
}

// A folder under %LOCALAPPDATA% is the user's own already.
void KeepToOwner(const QString& /*folder*/) {}

QString UserStateFolder() {
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    return QDir::fromNativeSeparators(local.isEmpty() ? QDir::homePath() : local);
}

} // namespace qarvel::results
