#include "ui/rules/system_rules.h"

#include <string_view>

namespace shared {

namespace {
bool IsSection(std::string_view line, std::string_view name) {
    if (line.size() != name.size())
        return false;
    for (size_t i = 0; i < line.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(line[i]) != lower(name[i]))
            return false;
    }
    return true;
}
}  // namespace

bool WindowsFolder(const std::string& windowsDir, const std::string& id, std::string* folder) {
    static const struct {
        const char* id;
        const char* below;
    } kFolders[] = {{"10", ""}, {"12", "\\System32\\Drivers"}, {"17", "\\Inf"}, {"18", "\\Help"}};
    for (const auto& f : kFolders) {
        if (id == f.id) {
            *folder = windowsDir + f.below;
            return true;
        }
    }
    return false;
}

std::string FormatProduct(const std::string& text, const std::string& name) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            out += name;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string AddRenameLine(const std::string& wininit, const std::string& target,
                          const std::string& temporary) {
    const std::string line = target + "=" + temporary + "\r\n";
    size_t pos = 0;
    while (pos < wininit.size()) {
        size_t end = wininit.find('\n', pos);
        const size_t next = end == std::string::npos ? wininit.size() : end + 1;
        std::string_view l(wininit.data() + pos, next - pos);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r'))
            l.remove_suffix(1);
        if (IsSection(l, "[Rename]")) {
            std::string out = wininit.substr(0, next);
            if (end == std::string::npos)
                out += "\r\n";
            return out + line + wininit.substr(next);
        }
        pos = next;
    }
    std::string out = wininit;
    if (!out.empty() && out.back() != '\n')
        out += "\r\n";
    return out + "[Rename]\r\n" + line;
}

std::string PathFileName(const std::string& path, const char* separators) {
    const size_t slash = path.find_last_of(separators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PathDirectory(const std::string& path, const char* separators) {
    const size_t slash = path.find_last_of(separators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace shared
