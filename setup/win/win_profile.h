// Profile over the system's private-profile functions (GetPrivateProfileStringA).
#pragma once

#include "setup/core/profile.h"

namespace setup {

class WinProfile : public Profile {
public:
    std::string String(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& def, size_t size) override;
    std::vector<std::string> Keys(const std::string& file, const std::string& section,
                                  size_t size) override;
    bool Exists(const std::string& path) override;
};

}  // namespace setup
