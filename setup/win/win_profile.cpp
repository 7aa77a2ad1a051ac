#include "setup/win/win_profile.h"

#include <windows.h>

namespace setup {

std::string WinProfile::String(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& def, size_t size) {
    if (size == 0)
        return {};
    std::string buf(size, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                             static_cast<DWORD>(size), file.c_str());
    buf.resize(n < size ? n : size - 1);
    return buf;
}

std::vector<std::string> WinProfile::Keys(const std::string& file, const std::string& section,
                                          size_t size) {
    std::vector<std::string> names;
    if (size < 2)
        return names;
    std::string buf(size, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buf.data(),
                                             static_cast<DWORD>(size), file.c_str());
    for (size_t i = 0; i < n && i < size;) {
        const size_t len = strnlen(buf.data() + i, n - i);
        if (len == 0)
            break;
        names.emplace_back(buf.data() + i, len);
        i += len + 1;
    }
    return names;
}

bool WinProfile::Exists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace setup
