// The uninstaller's command lines: the form written in "UninstallString"
// (the uninstall key), the internal form of the temporary copy (key,
// "/DeleteSelf", home directory) and the form without a key (read from
// "Uninstal.ini"); and the command line that starts the copy.
#pragma once

#include <string>
#include <vector>

#include "ui/rules/system_rules.h"

namespace uninst {

enum class Form {
    kLaunch,         // the uninstall key: copy the program and start the copy
    kCopy,           // key, /DeleteSelf, home: run the uninstallation
    kFromIni,        // no argument: key from Uninstal.ini, then as kLaunch
    kFromIniDirect,  // "/DeleteSelf" alone: key from Uninstal.ini, then as kCopy
};

struct Arguments {
    Form form = Form::kFromIni;
    std::string key;   // empty in the Uninstal.ini forms
    std::string home;  // kCopy only; may be empty
};

// Splits a command line into arguments: blanks separate them, double quotes
// group (and are removed).
std::vector<std::string> SplitArguments(const std::string& text);

// The part of a full command line after the program's own name. An unquoted
// program path with blanks (as "UninstallString" holds it) is recognised by
// `modulePath`, the running file's path.
std::string SkipProgramName(const std::string& commandLine, const std::string& modulePath);

Arguments ParseArguments(const std::string& args);

// "\"%s\" \"%s\" /DeleteSelf \"%s\"": the temporary copy's command line.
std::string CopyCommandLine(const std::string& copyPath, const std::string& key,
                            const std::string& home);

// An "UninstallString": the program (quoted or not; an unquoted path ends
// with ".exe") and the key after it.
struct UninstallCommand {
    std::string program;
    std::string key;
};
UninstallCommand SplitUninstallString(const std::string& text);

// The file-name part of a path, which may separate with backslashes or slashes.
inline std::string FileNameOf(const std::string& path) {
    return shared::PathFileName(path, "\\/");
}
// The directory part of a path (without the trailing separator).
inline std::string DirectoryOf(const std::string& path) {
    return shared::PathDirectory(path, "\\/");
}

}  // namespace uninst
