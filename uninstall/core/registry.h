// The registry as the uninstaller sees it: four roots, keys by path, text
// values. The Windows program implements it over the real registry; tests
// use a copy in memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace uninst {

enum class Root { kLocalMachine, kCurrentUser, kClassesRoot, kUsers };

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"; any other
// name is the users root.
Root RootFromName(const std::string& name);
const char* RootName(Root root);

struct Value {
    std::string name;
    std::string data;  // text values; other types read as empty text
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual bool KeyExists(Root root, const std::string& path) = 0;
    // Values and subkey names in the registry's order (empty when the key is
    // missing).
    virtual std::vector<Value> Values(Root root, const std::string& path) = 0;
    virtual std::vector<std::string> Subkeys(Root root, const std::string& path) = 0;
    // Each returns true when the value or key is gone afterwards (also when
    // it was never there).
    virtual bool DeleteValue(Root root, const std::string& path, const std::string& name) = 0;
    virtual bool DeleteTree(Root root, const std::string& path) = 0;
    // Deletes a key that has no subkeys.
    virtual bool DeleteKey(Root root, const std::string& path) = 0;
    // Writes a text value, creating the key (and its missing parents).
    virtual bool SetText(Root root, const std::string& path, const std::string& name,
                         const std::string& data) = 0;
};

// The text of one value (name compared without regard to case); false when
// it is missing.
bool ReadText(Registry& reg, Root root, const std::string& path, const std::string& name,
              std::string* out);
// A key without values and without subkeys.
bool KeyIsEmpty(Registry& reg, Root root, const std::string& path);

}  // namespace uninst
