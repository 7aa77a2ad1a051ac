// A test file with a version resource (verfile.rc): the installer's version
// rule reads it.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI VerfileMajor() {
    return VERFILE_MAJOR;
}
