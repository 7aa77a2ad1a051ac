// The bare copy loop the installer's copy step is measured against: the same
// files, the same buffer size, nothing but opening, reading, writing and
// closing (and making each target directory once). Reads "source|target"
// lines (Windows paths) from the file named on its command line and prints
// the seconds the loop took.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "setup/win/install_host.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: copy_loop LIST\n");
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> files;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t bar = line.find('|');
        if (bar != std::string::npos)
            files.emplace_back(line.substr(0, bar), line.substr(bar + 1));
    }
    std::vector<char> buffer(setup_win::kCopyChunk);
    std::set<std::string> made;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    size_t failed = 0;
    for (const auto& [from, to] : files) {
        const std::string dir = to.substr(0, to.find_last_of('\\'));
        if (made.insert(dir).second)
            CreateDirectoryA(dir.c_str(), nullptr);
        HANDLE src = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        HANDLE dst = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        bool ok = src != INVALID_HANDLE_VALUE && dst != INVALID_HANDLE_VALUE;
        for (DWORD got = 1; ok && got != 0;) {
            DWORD put = 0;
            ok = ReadFile(src, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
                 (got == 0 || (WriteFile(dst, buffer.data(), got, &put, nullptr) && put == got));
        }
        failed += ok ? 0 : 1;
        if (src != INVALID_HANDLE_VALUE)
            CloseHandle(src);
        if (dst != INVALID_HANDLE_VALUE)
            CloseHandle(dst);
    }
    QueryPerformanceCounter(&end);
    std::printf("%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
    if (failed != 0)
        std::fprintf(stderr, "copy_loop: %zu of %zu files failed\n", failed, files.size());
    return failed == 0 ? 0 : 1;
}
