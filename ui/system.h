// What the installer and the uninstaller ask of the system, in one place:
// the version, the program's own path, starting programs, the restart of the
// computer, the 9x family's wininit.ini and the log file. Tests replace none
// of the Win32 calls here except the restart, which the environment variable
// TAVIX_SETUP_RESTART_FILE turns into a line appended to that file.
#pragma once

#include <string>

#include "ui/rules/system_rules.h"

namespace ui::sys {

shared::OsVersion QueryOs();
// The program's own file and the folder that holds it ("." when unknown).
std::string ModulePath();
std::string ModuleDirectory();

// CreateProcess with the command line; waits when asked (waitMs INFINITE or a
// bound). False when the program cannot be started.
bool RunCommand(const std::string& commandLine, const std::string& directory, bool wait,
                unsigned long waitMs);
// Opens a program through the shell with arguments and working directory.
bool ShellRun(const std::string& file, const std::string& arguments, const std::string& directory);

// Restarts the computer (with the shutdown privilege on the NT family).
bool RestartComputer(const shared::OsVersion& os);

// Adds target=temporary to [Rename] of wininit.ini in `windowsDir` (the 9x
// family's rename or, with target "NUL", delete at the next restart).
bool AddToWininit(const std::string& windowsDir, const std::string& target,
                  const std::string& temporary);

// The log file (the installer's /LOG, the uninstaller's TAVIX_UNINSTALL_LOG):
// one line per call with the time, nothing when none is open.
void OpenLog(const std::string& path);
void Log(const std::string& line);

}  // namespace ui::sys
