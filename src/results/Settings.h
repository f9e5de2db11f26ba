#pragma once

#include <QString>

namespace qarvel::results {

// The results folder that an administrator set for every user of the
// machine: the key ResultsFolder of qarvel/qarvel.conf in the first of the
// system's XDG config folders ($XDG_CONFIG_DIRS, by default /etc/xdg) that
// sets it. Empty when none does. The user's own config folder is not read:
// what an administrator switched on, an examinee cannot switch off.
QString AdminResultsFolder();

// The folder records go to: the administrator's when set (a command line
// cannot turn it off or send records elsewhere), otherwise the command
// line's, made absolute against the current folder. Empty: no records.
QString ChooseResultsFolder(const QString& fromCommandLine, const QString& fromAdmin);

} // namespace qarvel::results
