// Reading the installer's INI files. Everything the installer reads from its
// setup file and its language file goes through Profile, whose methods behave
// like the system's private-profile functions: sections and keys are found
// without regard to case, the first match wins, values lose their blanks at
// both ends and one pair of enclosing quotes, and results are cut to the
// caller's buffer size. IniProfile is the portable implementation; the
// Windows build also has one over the real functions (setup/win/).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

// Buffer sizes of the installer: text values and most key lists, and the key
// list of [Copy Files].
constexpr size_t kTextChars = 260;
constexpr size_t kCopyKeyListChars = 16384;

class Profile {
public:
    virtual ~Profile() = default;
    // The value of `key` in `section`, at most size-1 characters; `def` (cut
    // the same way) when the file, section or key is missing.
    virtual std::string String(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& def, size_t size) = 0;
    // The section's key names in file order, as many as a buffer of `size`
    // characters holds (each name with its terminating zero, plus one final
    // zero); the last one may be cut.
    virtual std::vector<std::string> Keys(const std::string& file, const std::string& section,
                                          size_t size) = 0;
    virtual bool Exists(const std::string& path) = 0;

    // An integer value: optional sign and decimal digits (or 0x and hex
    // digits) at the start of the value; `def` when the value is empty.
    int Int(const std::string& file, const std::string& section, const std::string& key, int def);
};

// A line without "=" is a key without a value: listed nowhere, and looking it
// up gives the default. A line that begins with ";" is a key like any other
// for lookups (the system knows no comments) but is left out of key lists.
struct IniKey {
    std::string name;
    std::string value;
    bool hasValue = false;
};
struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
};
// The sections of an INI text in file order (duplicates kept).
std::vector<IniSection> ParseIni(std::string_view text);

// Portable implementation over file texts; Load supplies a file's bytes.
class IniProfile : public Profile {
public:
    std::string String(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& def, size_t size) override;
    std::vector<std::string> Keys(const std::string& file, const std::string& section,
                                  size_t size) override;
    bool Exists(const std::string& path) override;

protected:
    // False when the file cannot be read.
    virtual bool Load(const std::string& path, std::string* text) = 0;

private:
    const std::vector<IniSection>* Parsed(const std::string& file);
    std::map<std::string, std::vector<IniSection>> cache_;
    std::map<std::string, bool> missing_;
};

// Files held in memory, for tests; paths compare without regard to case.
class MemoryProfile : public IniProfile {
public:
    void Put(const std::string& path, const std::string& text);

protected:
    bool Load(const std::string& path, std::string* text) override;

private:
    std::map<std::string, std::string> files_;
};

// Files on disk, read whole.
class FileProfile : public IniProfile {
protected:
    bool Load(const std::string& path, std::string* text) override;
};

// Text helpers shared by the installer's rules.
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsNoCase(std::string_view text, std::string_view prefix);
std::string Upper(std::string_view text);

}  // namespace setup
