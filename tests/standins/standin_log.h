// Shared by the test stand-ins of the companion and system libraries: each
// export appends one line "Export(arg,arg,...)" to the file named by
// TAVIX_STANDIN_LOG (texts in double quotes, numbers in decimal) and returns
// the number in TAVIX_STANDIN_<Export> when it is set, else its default.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace standin {

inline std::string Text(const char* s) {
    if (!s)
        return "null";
    return std::string("\"") + s + "\"";
}

inline std::string Number(long long n) {
    return std::to_string(n);
}

inline void Record(const char* name, const std::string& args) {
    char path[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("TAVIX_STANDIN_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string line = std::string(name) + "(" + args + ")\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

inline int Result(const char* name, int fallback) {
    char key[96] = "TAVIX_STANDIN_";
    std::strncat(key, name, sizeof key - std::strlen(key) - 1);
    char value[32] = {};
    const DWORD n = GetEnvironmentVariableA(key, value, sizeof value);
    return n > 0 && n < sizeof value ? std::atoi(value) : fallback;
}

}  // namespace standin
