// "Find by Address..." and the discovery report.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "protocol/discovery.h"
#include "ui/dialog.h"

// Asks for a server's IP address or host name; on OK `address` holds it
// (host order). The check runs on OK; a refusal is shown and the dialog stays.
class CFindAddress : public ui::Dialog {
public:
    CFindAddress(HWND parent, std::vector<proto::LocalInterface> interfaces);
    uint32_t address = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    std::vector<proto::LocalInterface> interfaces_;
};

// A host name's first IPv4 address (host order), 0 when it has none.
uint32_t ResolveIPv4(const std::string& name);

// The last discovery: one row per request sent (adapter, netmask, address,
// replies, servers listed), a summary line and the hints. "Find by
// Address..." closes it with IDC_REPORT_FIND.
class CDiscoveryReport : public ui::Dialog {
public:
    CDiscoveryReport(HWND parent, const proto::DiscoveryReport& report);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    const proto::DiscoveryReport& report_;
};
