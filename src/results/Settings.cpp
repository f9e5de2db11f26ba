#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace qarvel::results {

#ifndef QARVEL_SYSCONFDIR
#define QARVEL_SYSCONFDIR "/etc"
#endif

QString SystemConfigFolder() {
    return QStringLiteral(QARVEL_SYSCONFDIR "/xdg");
}

QString AdminResultsFolder(const QString& configFolder) {
    const QString path = configFolder + QStringLiteral("/qarvel/qarvel.conf");
    if (configFolder.isEmpty() || !QFileInfo(path).isFile()) {
        return {};
    }
    const QSettings settings(path, QSettings::IniFormat);
    return settings.value(QStringLiteral("ResultsFolder")).toString().trimmed();
}

QString ChooseResultsFolder(const QString& fromCommandLine, const QString& fromAdmin) {
    const QString chosen = fromAdmin.isEmpty() ? fromCommandLine : fromAdmin;
    if (chosen.isEmpty()) {
        return {};
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(chosen));
}

} // namespace qarvel::results
