#pragma once

#include <QString>

namespace qarvel::app {

// The name the system knows the user by (the login account), for records.
QString AccountName();

// Ends the program's loop, as its own close does, when the system asks it to
// end: SIGTERM and SIGHUP (a logout, a kill) elsewhere, the end of the
// Windows session on Windows. Installs once.
void EndProgramOnEndRequests();

} // namespace qarvel::app
