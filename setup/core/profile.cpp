#include "setup/core/profile.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace setup {

namespace {

char Low(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Cut(std::string_view s, size_t size) {
    if (size == 0)
        return {};
    return std::string(s.substr(0, size - 1));
}

// A value cut to the buffer; one pair of enclosing quotes (double or single)
// comes off, and when the buffer ends just at the closing quote the last
// character before it goes too, as the system does.
std::string CopyValue(std::string_view v, size_t size) {
    const bool quoted =
        v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
    if (quoted)
        v.remove_prefix(1);  // the closing quote stays until the end
    std::string out = Cut(v, size);
    if (quoted && size >= v.size() && !out.empty())
        out.pop_back();
    return out;
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Low(a[i]) != Low(b[i]))
            return false;
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (auto& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<IniSection> ParseIni(std::string_view text) {
    std::vector<IniSection> sections;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty())
            continue;
        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                sections.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        if (sections.empty())
            sections.push_back({"", {}});  // lines before the first section: the nameless one
        IniKey key;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            key.name = std::string(line);
        } else {
            key.name = std::string(Trim(line.substr(0, eq)));
            key.value = std::string(Trim(line.substr(eq + 1)));
            key.hasValue = true;
        }
        sections.back().keys.push_back(std::move(key));
    }
    return sections;
}

int Profile::Int(const std::string& file, const std::string& section, const std::string& key,
                 int def) {
    const std::string v = String(file, section, key, "", 32);
    if (v.empty())
        return def;
    size_t i = 0;
    bool negative = false;
    if (v[i] == '-' || v[i] == '+')
        negative = v[i++] == '-';
    unsigned long n = 0;
    if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
        for (i += 2; i < v.size() && std::isxdigit(static_cast<unsigned char>(v[i])); ++i)
            n = n * 16 + static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(v[i]))
                                                        ? v[i] - '0'
                                                        : Low(v[i]) - 'a' + 10);
    } else {
        for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i)
            n = n * 10 + static_cast<unsigned long>(v[i] - '0');
    }
    const auto u = static_cast<unsigned int>(n);
    return static_cast<int>(negative ? 0u - u : u);
}

const std::vector<IniSection>* IniProfile::Parsed(const std::string& file) {
    const std::string key = Upper(file);
    if (auto it = cache_.find(key); it != cache_.end())
        return &it->second;
    std::string text;
    if (!Load(file, &text))
        return nullptr;
    return &cache_.emplace(key, ParseIni(text)).first->second;
}

std::string IniProfile::String(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& def, size_t size) {
    if (const auto* sections = Parsed(file)) {
        // Value lookups ignore blanks around the section and key asked for
        // (key lists do not).
        const std::string_view wantSection = Trim(section), wantKey = Trim(key);
        for (const auto& s : *sections) {
            if (!EqualNoCase(s.name, wantSection))
                continue;
            for (const auto& k : s.keys) {
                if (!EqualNoCase(k.name, wantKey))
                    continue;
                if (k.hasValue)
                    return CopyValue(k.value, size);
                break;
            }
            break;  // only the first section of that name counts
        }
    }
    // The default loses its trailing blanks only.
    std::string_view d = def;
    while (!d.empty() && d.back() == ' ')
        d.remove_suffix(1);
    return Cut(d, size);
}

std::vector<std::string> IniProfile::Keys(const std::string& file, const std::string& section,
                                          size_t size) {
    std::vector<std::string> names;
    const auto* sections = Parsed(file);
    if (sections == nullptr || size < 2)
        return names;
    size_t left = size - 1;  // room for the final zero
    for (const auto& s : *sections) {
        if (!EqualNoCase(s.name, section))
            continue;
        for (const auto& k : s.keys) {
            if (k.name.empty() || !k.hasValue || k.name.front() == ';')
                continue;
            if (left < 2)
                break;
            if (k.name.size() + 1 <= left) {
                names.push_back(k.name);
                left -= k.name.size() + 1;
            } else {
                names.push_back(k.name.substr(0, left - 1));
                break;
            }
        }
        break;
    }
    return names;
}

bool IniProfile::Exists(const std::string& path) {
    if (missing_.count(Upper(path)) == 0 && cache_.count(Upper(path)) == 0) {
        std::string text;
        missing_[Upper(path)] = !Load(path, &text);
    }
    return cache_.count(Upper(path)) != 0 || !missing_[Upper(path)];
}

void MemoryProfile::Put(const std::string& path, const std::string& text) {
    files_[Upper(path)] = text;
}

bool MemoryProfile::Load(const std::string& path, std::string* text) {
    auto it = files_.find(Upper(path));
    if (it == files_.end())
        return false;
    *text = it->second;
    return true;
}

bool FileProfile::Load(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return true;
}

}  // namespace setup
