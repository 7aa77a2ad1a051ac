// The drive connection helpers' network over the system's WNet functions
// (mpr), the file system for the access probe, and the connection error
// message box.
#pragma once

#include <windows.h>

#include "mapdrive/drive_net.h"

namespace mapdrive {

class WNetNetwork : public Network {
public:
    int Enumerate(const std::string* root, std::vector<std::string>* names) override;
    int AddConnection(const std::string& remote, const std::string* localName,
                      const std::optional<std::string>& user,
                      const std::optional<std::string>& password) override;
    int CancelConnection(const std::string& name) override;
    int ProbeAccess(const std::string& path) override;
    int GetUser(const std::string* resource, std::string* user) override;
    bool LogonName(std::string* user) override;
};

// showConnectError: the message for `code`, the application's title, stop icon.
void ShowConnectError(HWND owner, int code);

}  // namespace mapdrive
