// Windows paths as plain text: comparison without regard to case, the
// normal form used to compare them, and the folders that no registration may
// remove (drive roots, the Windows, system and Program Files folders, the
// user's profile and the like, and every folder above one of them).
#pragma once

#include <string>
#include <vector>

namespace uninst {

std::string ToLower(std::string s);
bool EqualNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);

// Backslashes only, no doubled separators (a UNC path keeps its leading
// pair), "." and ".." resolved, no trailing separator except after a drive
// ("C:\"). ".." above the root stays at the root.
std::string NormalPath(const std::string& path);
// "C:\..." or "\\server\share\...".
bool IsAbsolute(const std::string& path);
// "C:\", "C:", "\\server\share" and "\" (after normalising).
bool IsRoot(const std::string& path);
// The directory above `path` ("" at a root).
std::string ParentPath(const std::string& path);
bool SamePath(const std::string& a, const std::string& b);
// `outer` equals `inner` or holds it.
bool Contains(const std::string& outer, const std::string& inner);
// Joins a directory and a name with one backslash.
std::string Join(const std::string& dir, const std::string& name);

// Folders that are never removed, together with every folder above them.
class Protection {
public:
    void Add(const std::string& folder);
    // True when removing `path` would remove a root or a protected folder:
    // it is a root, not absolute, or equals or holds a protected folder.
    bool Protects(const std::string& path) const;
    const std::vector<std::string>& folders() const { return folders_; }

private:
    std::vector<std::string> folders_;
};

}  // namespace uninst
