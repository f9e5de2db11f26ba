#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace qarvel::results {

AdminSettings ReadAdminSettings(const QString& configFolder) {
    const QString path = configFolder + QStringLiteral("/qarvel/qarvel.conf");
    if (configFolder.isEmpty() || !QFileInfo(path).isFile()) {
        return {};
    }
    const QSettings settings(path, QSettings::IniFormat);
    const auto text = [&](const char* key) {
        return settings.value(QLatin1String(key)).toString().trimmed();
    };
    AdminSettings admin;
    admin.resultsFolder = text("ResultsFolder");
    admin.duration = text("Duration");
    admin.source = text("Source");
    const QString require = text("RequireNumber").toLower();
    for (const char* yes : {"true", "yes", "on", "1"}) {
        if (require == QLatin1String(yes)) {
            admin.requireNumber = true;
        }
    }
    for (const char* no : {"false", "no", "off", "0"}) {
        if (require == QLatin1String(no)) {
            admin.requireNumber = false;
        }
    }
    return admin;
}

QString AdminResultsFolder(const QString& configFolder) {
    return ReadAdminSettings(configFolder).resultsFolder;
}

bool NumberRequired(const AdminSettings& admin, bool recorded) {
    return admin.requireNumber.value_or(recorded);
}

QString ChooseResultsFolder(const QString& fromCommandLine, const QString& fromAdmin) {
    const QString chosen = fromAdmin.isEmpty() ? fromCommandLine : fromAdmin;
    if (chosen.isEmpty()) {
        return {};
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(chosen));
}

} // namespace qarvel::results
