// The help file in the user's language and a server's web administration,
// both handed to the shell.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens the help file for the user's locale, from the program's folder, in
// "IEXPLORE.EXE"; where that cannot be started, with the file's own
// association. Reports nothing.
void ShowHelp(HWND owner);

// Opens the server's web administration pages in the default browser.
void OpenWebAdmin(HWND owner, int kind, uint32_t ip);
