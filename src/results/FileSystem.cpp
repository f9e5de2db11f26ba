#include "FileSystem.h"

#include "Settings.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace qarvel::results {

#ifndef QARVEL_SYSCONFDIR
#define QARVEL_SYSCONFDIR "/etc"
#endif

QString SystemConfigFolder() {
    return QStringLiteral(QARVEL_SYSCONFDIR "/xdg");
}

int OwnPlainFile(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return S_ISREG(info.st_mode) && info.st_uid == ::getuid() ? 1 : 0;
}

bool ProcessGone(qint64 pid) {
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

qint64 ThisProcessId() {
    return ::getpid();
}

void KeepToOwner(const QString& folder) {
    ::chmod(QFile::encodeName(folder).constData(), 0700);
}

QString UserStateFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state;
}

} // namespace qarvel::results
