#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace qarvel::results {

QString AdminResultsFolder() {
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty()) {
        dirs = QStringLiteral("/etc/xdg");
    }
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString path = dir + QStringLiteral("/qarvel/qarvel.conf");
        if (!QFileInfo(path).isFile()) {
            continue;
        }
        const QSettings settings(path, QSettings::IniFormat);
        const QString folder = settings.value(QStringLiteral("ResultsFolder")).toString().trimmed();
        if (!folder.isEmpty()) {
            return folder;
        }
    }
    return {};
}

QString ChooseResultsFolder(const QString& fromCommandLine, const QString& fromAdmin) {
    const QString chosen = fromAdmin.isEmpty() ? fromCommandLine : fromAdmin;
    if (chosen.isEmpty()) {
        return {};
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(chosen));
}

} // namespace qarvel::results
