// What the installer and the uninstaller both know of the system, without a
// window: the operating-system classes, the folders below Windows that
// directory ids name, the product name in a text, and the wininit.ini line that renames or deletes
// a file at the next restart on the 9x family. Plain rules; ui/system.h asks the real system.
#pragma once

#include <string>

namespace shared {

struct OsVersion {
    unsigned platform = 2;  // 1 Windows (9x family), 2 NT
    unsigned major = 5;
    unsigned minor = 1;

    bool Is9x() const { return platform == 1; }
    bool Is98() const { return platform == 1 && major == 4 && minor >= 10; }
    bool IsME() const { return platform == 1 && major == 4 && minor >= 90; }
    bool IsNT() const { return platform == 2; }
    bool Is2000() const { return platform == 2 && major >= 5; }
    bool IsXP() const { return platform == 2 && major >= 5 && minor != 0; }
    // The Windows 95 class: the 9x family below the 98 class.
    bool Is95() const { return Is9x() && !Is98(); }
};

// The folders that a setup file's directory ids 10 (Windows), 12 (drivers),
// 17 (Inf) and 18 (Help) name below the Windows directory. False for any
// other id.
bool WindowsFolder(const std::string& windowsDir, const std::string& id, std::string* folder);

// "%s" replaced by `name`, each occurrence.
std::string FormatProduct(const std::string& text, const std::string& name);

// The wininit.ini text with target=temporary added below "[Rename]" (the
// section is added at the end when missing). A target of "NUL" deletes.
std::string AddRenameLine(const std::string& wininit, const std::string& target,
                          const std::string& temporary);

// The part of `path` after its last separator (any of `separators`), and the
// part before that separator. Without a separator the whole path is the name
// and the directory is empty.
std::string PathFileName(const std::string& path, const char* separators);
std::string PathDirectory(const std::string& path, const char* separators);

}  // namespace shared
