#pragma once

#include <QString>

namespace qarvel::results {

// The folder of the machine's own settings: xdg in the system configuration
// folder the program was built for (/etc/xdg for the package, from the build's
// QARVEL_SYSCONFDIR).
QString SystemConfigFolder();

// The results folder that an administrator set for every user of the
// machine: the key ResultsFolder of qarvel/qarvel.conf in `configFolder`.
// Empty when it sets none. Neither the user's own config folder nor a folder
// the user's environment names ($XDG_CONFIG_DIRS) is read: what an
// administrator switched on, an examinee cannot switch off or send elsewhere.
QString AdminResultsFolder(const QString& configFolder = SystemConfigFolder());

// The folder records go to: the administrator's when set (a command line
// cannot turn it off or send records elsewhere), otherwise the command
// line's, made absolute against the current folder. Empty: no records.
QString ChooseResultsFolder(const QString& fromCommandLine, const QString& fromAdmin);

} // namespace qarvel::results
