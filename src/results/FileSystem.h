#pragma once

#include <QString>
#include <QtGlobal>

namespace qarvel::results {

// The few questions the results writer asks the system beyond reading and
// writing files, one answer per system (FileSystem.cpp, FileSystem_win.cpp).

// Whether `path` is a plain file of this user's (not a link, not a folder):
// 1 or 0; -1 with errno set (ENOENT when nothing has the name) when nothing
// can be told.
int OwnPlainFile(const QString& path);

// Whether no process has the number `pid` any more.
bool ProcessGone(qint64 pid);

// This process's number.
qint64 ThisProcessId();

// Makes `folder` readable by its owner only, where the system has such modes.
void KeepToOwner(const QString& folder);

// The folder of this user's state that outlives the program: $XDG_STATE_HOME
// (~/.local/state), %LOCALAPPDATA% on Windows.
QString UserStateFolder();

} // namespace qarvel::results
