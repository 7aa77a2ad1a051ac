// "Wake Up a Server": the remembered servers that are not listed now. On
// "&Wake Up" (or Enter) `chosen` holds the server's hardware address;
// "&Forget" (or Delete) forgets the highlighted one at once.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "ui/dialog.h"
#include "wake/server_memory.h"

class CWakeUp : public ui::Dialog {
public:
    CWakeUp(HWND parent, std::vector<wake::RememberedServer> servers,
            std::function<bool(const wake::Mac&)> forget);
    wake::Mac chosen{};

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;

private:
    void Fill(int select);
    int Selected() const;
    void Forget();
    void UpdateButtons();

    std::vector<wake::RememberedServer> servers_;
    std::function<bool(const wake::Mac&)> forget_;
};

// "Last Seen": seconds since 1970 as the user's short date and time.
std::wstring LastSeenText(int64_t seconds);
