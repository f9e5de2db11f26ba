#pragma once

#include <QString>
#include <optional>

namespace qarvel::results {

// The folder of the machine's own settings: xdg in the system configuration
// folder the program was built for (/etc/xdg for the package, from the build's
// QARVEL_SYSCONFDIR); on Windows %ProgramData% (the file is then
// %ProgramData%\Qarvel\qarvel.conf). Defined with the system's other answers
// (FileSystem.cpp, FileSystem_win.cpp).
QString SystemConfigFolder();

// What an administrator set for every user of the machine: the keys of
// qarvel/qarvel.conf in `configFolder`, blanks around a value removed; an
// empty text is a key not set. Neither the user's own config folder nor a
// folder the user's environment names ($XDG_CONFIG_DIRS) is read: what an
// administrator set, an examinee cannot switch off or change.
struct AdminSettings {
    QString resultsFolder; // ResultsFolder: where the records go
    QString duration;      // Duration: the exam's length for the room, as a time text
    QString source;        // Source: the exam's source text file
    // RequireNumber: true, yes, on or 1; false, no, off or 0; anything else is not set.
    std::optional<bool> requireNumber;
};
AdminSettings ReadAdminSettings(const QString& configFolder = SystemConfigFolder());

// The administrator's results folder (ResultsFolder); empty when it sets none.
QString AdminResultsFolder(const QString& configFolder = SystemConfigFolder());

// Whether the login refuses an empty student number: as the administrator
// set it, and by default whenever the exam is recorded (a record without a
// number is of no use to the teacher).
bool NumberRequired(const AdminSettings& admin, bool recorded);

// The folder records go to: the administrator's when set (a command line
// cannot turn it off or send records elsewhere), otherwise the command
// line's, made absolute against the current folder. Empty: no records.
QString ChooseResultsFolder(const QString& fromCommandLine, const QString& fromAdmin);

} // namespace qarvel::results
