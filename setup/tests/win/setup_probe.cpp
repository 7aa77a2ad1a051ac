// Test program that the installer starts (pre-run, DirectX, after
// installation): appends its command line and working directory to the file
// named by TAVIX_PROBE_FILE and ends.
#include <windows.h>

#include <cstdio>

int main() {
    char file[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TAVIX_PROBE_FILE", file, MAX_PATH) == 0)
        return 1;
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    FILE* f = std::fopen(file, "ab");
    if (f == nullptr)
        return 1;
    std::fprintf(f, "%s|%s\n", GetCommandLineA(), dir);
    std::fclose(f);
    return 0;
}
