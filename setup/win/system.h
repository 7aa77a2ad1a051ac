// What the installer asks of the system, in one place: the version and the
// directories, the user's locale, starting programs, the DirectX version
// library, the companion library's re-enumeration, the restart of the
// computer, rename at restart, and the /LOG file. Tests replace none of the
// Win32 calls here except the restart, which the environment variable
// TAVIX_SETUP_RESTART_FILE turns into a line appended to that file.
#pragma once

#include <string>

#include "setup/core/config.h"

namespace setup_sys {

setup::OsVersion QueryOs();
std::string ModuleDirectory();
setup::Directories QueryDirectories(const std::string& setupDir);
// "Locale" of the current user (9x: the desktop's ResourceLocale); "00000409"
// when unreadable.
std::string UserLocale(const setup::OsVersion& os);

// The version that lumodxhlp.dll's GetDXVersion reports; 0 when the library
// or the export is missing.
unsigned long InstalledDirectXVersion();
// kivosetup.dll's ReenumerateDeviceWithoutDelay, when present.
void ReenumerateDevices();

// CreateProcess with the command line; waits when asked (waitMs INFINITE or a
// bound). False when the program cannot be started.
bool RunCommand(const std::string& commandLine, const std::string& directory, bool wait,
                unsigned long waitMs);
// Opens a program through the shell with arguments and working directory.
bool ShellRun(const std::string& file, const std::string& arguments, const std::string& directory);

// Restarts the computer (with the shutdown privilege on the NT family).
bool RestartComputer(const setup::OsVersion& os);
// True when drive A: holds a disk.
bool FloppyInDriveA();
// Moves `temporary` onto `target` at the next restart.
bool ScheduleRename(const setup::OsVersion& os, const std::string& windowsDir,
                    const std::string& target, const std::string& temporary);

void OpenLog(const std::string& path);
void Log(const std::string& line);

}  // namespace setup_sys
