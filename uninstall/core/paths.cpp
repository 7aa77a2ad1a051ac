#include "uninstall/core/paths.h"

#include <algorithm>
#include <cctype>

namespace uninst {

std::string ToLower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

namespace {
bool DriveAt(const std::string& p) {
    return p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]));
}
}  // namespace

std::string NormalPath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    std::string head;
    std::string rest;
    if (p.rfind("\\\\", 0) == 0) {
        // \\server\share: the first two parts are the root.
        size_t i = 2;
        int parts = 0;
        std::string root = "\\\\";
        std::string part;
        for (; i <= p.size(); ++i) {
            if (i == p.size() || p[i] == '\\') {
                if (!part.empty()) {
                    root += (parts > 0 ? "\\" : "") + part;
                    if (++parts == 2) {
                        ++i;
                        break;
                    }
                }
                part.clear();
            } else {
                part += p[i];
            }
        }
        head = root;
        rest = i < p.size() ? p.substr(i) : std::string();
    } else if (DriveAt(p)) {
        head = p.substr(0, 2);
        rest = p.substr(2);
        if (!rest.empty() && rest[0] == '\\')
            head += "\\";
    } else if (!p.empty() && p[0] == '\\') {
        head = "\\";
        rest = p.substr(1);
    } else {
        rest = p;
    }
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\') {
            if (part == "..") {
                if (!parts.empty() && parts.back() != "..")
                    parts.pop_back();
                else if (head.empty())
                    parts.push_back(part);
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += rest[i];
        }
    }
    std::string out = head;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!out.empty() && out.back() != '\\')
            out += "\\";
        out += parts[i];
    }
    // Windows drops trailing dots and blanks of a name.
    while (out.size() > head.size() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    if (out.size() > head.size() && out.back() == '\\')
        out.pop_back();
    return out;
}

bool IsAbsolute(const std::string& path) {
    const std::string p = NormalPath(path);
    return (DriveAt(p) && p.size() >= 3 && p[2] == '\\') || p.rfind("\\\\", 0) == 0;
}

bool IsRoot(const std::string& path) {
    const std::string p = NormalPath(path);
    if (p.empty() || p == "\\")
        return true;
    if (DriveAt(p))
        return p.size() <= 3;
    if (p.rfind("\\\\", 0) == 0)
        return std::count(p.begin() + 2, p.end(), '\\') <= 1;
    return false;
}

std::string ParentPath(const std::string& path) {
    const std::string p = NormalPath(path);
    if (IsRoot(p))
        return {};
    const size_t slash = p.find_last_of('\\');
    if (slash == std::string::npos)
        return {};
    if (slash == 2 && DriveAt(p))
        return p.substr(0, 3);
    return p.substr(0, slash);
}

bool SamePath(const std::string& a, const std::string& b) {
    return EqualNoCase(NormalPath(a), NormalPath(b));
}

bool Contains(const std::string& outer, const std::string& inner) {
    const std::string o = ToLower(NormalPath(outer));
    const std::string i = ToLower(NormalPath(inner));
    if (o == i)
        return true;
    if (o.empty() || i.size() <= o.size() || i.compare(0, o.size(), o) != 0)
        return false;
    return o.back() == '\\' || i[o.size()] == '\\';
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '\\' || dir.back() == '/')
        return dir + name;
    return dir + "\\" + name;
}

void Protection::Add(const std::string& folder) {
    if (!folder.empty() && IsAbsolute(folder))
        folders_.push_back(NormalPath(folder));
}

bool Protection::Protects(const std::string& path) const {
    if (!IsAbsolute(path) || IsRoot(path))
        return true;
    for (const auto& f : folders_)
        if (Contains(path, f))
            return true;
    return false;
}

}  // namespace uninst
