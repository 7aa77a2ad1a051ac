// What the installer asks of the system: the directories, the user's locale,
// the DirectX version library, the companion library's re-enumeration, a
// floppy in drive A: and rename at restart. What it shares with the
// uninstaller is in ui/system.h.
#pragma once

#include <string>

#include "setup/core/config.h"
#include "ui/system.h"

namespace setup_sys {

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
