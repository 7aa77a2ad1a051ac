// Help files by the user's locale and the web administration address by
// server kind. Portable: the window layer reads the registry and hands the
// results to the shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rules {

// The help file name for a locale identifier as the registry stores it
// ("00000407"); exact, case-sensitive; English for any other or none.
std::string HelpFileForLocale(const std::string& locale);

// Every help file name, English first.
std::vector<std::string> AllHelpFiles();

// The program's folder (with its trailing backslash) from its full path;
// empty when the path has no backslash.
std::string ProgramFolder(const std::string& programPath);

// A parameter for a program's command line: in double quotes when it holds a
// blank, so that a path with blanks reaches the program whole.
std::string QuotedParameter(const std::string& text);

// "https://a.b.c.d:8098/" for kind 1, "http://a.b.c.d:6000/" for kind 2,
// "http://a.b.c.d" otherwise; `ip` in host order.
std::string WebAdminAddress(int kind, uint32_t ip);

}  // namespace rules
