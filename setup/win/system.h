// What the installer asks of the system: the directories, the user's locale,
// the DirectX version library, the companion library's re-enumeration, a
// floppy in drive A: and rename at restart; with what it shares with the
// uninstaller (ui/system.h) under the same names.
#pragma once

#include <string>

#include "setup/core/config.h"
#include "ui/system.h"

namespace setup_sys {

using ui::sys::Log;
using ui::sys::ModuleDirectory;
using ui::sys::OpenLog;
using ui::sys::QueryOs;
using ui::sys::RestartComputer;
using ui::sys::RunCommand;
using ui::sys::ShellRun;

setup::Directories QueryDirectories(const std::string& setupDir);
// "Locale" of the current user (9x: the desktop's ResourceLocale); "00000409"
// when unreadable.
std::string UserLocale(const setup::OsVersion& os);

// The version that lumodxhlp.dll's GetDXVersion reports; 0 when the library
// or the export is missing.
unsigned long InstalledDirectXVersion();
// kivosetup.dll's ReenumerateDeviceWithoutDelay, when present.
void ReenumerateDevices();

// True when drive A: holds a disk.
bool FloppyInDriveA();
// Moves `temporary` onto `target` at the next restart.
bool ScheduleRename(const setup::OsVersion& os, const std::string& windowsDir,
                    const std::string& target, const std::string& temporary);

}  // namespace setup_sys
