// The not-configured prompt CSetupPrompt: a modeless, top-most dialog owned
// by the main window that offers the quick configuration wizard for a server
// which reports that it was never configured. And the one registry value of
// the program, "Fastrig", which keeps the user's "don't ask again".
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ui/dialog.h"

// HKEY_CURRENT_USER\Software\Kivo\Configured, value "Fastrig" (REG_DWORD):
// 1 = ask, 0 = don't ask. Reading creates the key with 1 when it is missing;
// a value that cannot be read counts as 1. Failures are silent.
uint32_t ReadAskSetup();
void WriteAskSetup(uint32_t value);

class CSetupPrompt : public ui::Dialog {
public:
    // Creates and shows the window (centred, top-most). When it is gone,
    // however it was closed, the owner gets the command ID_SETUP_ANSWER
    // posted, with the argument 0 for OK and 1 for Cancel, and the object
    // frees itself. Returns nullptr when the window could not be made.
    static CSetupPrompt* Open(HWND owner, const std::string& serverName,
                              const std::string& serverAddress,
                              std::function<void(bool ticked)> onDontAsk);
    // The prompt whose window is open, or none (there is at most one).
    static CSetupPrompt* Current();
    // Destroys the window without any answer (the owner took the prompt away).
    void Withdraw();

    const std::string serverName;
    const std::string serverAddress;
    bool accepted = true;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnDestroyed() override;

private:
    CSetupPrompt(HWND owner, std::string name, std::string address,
                 std::function<void(bool)> onDontAsk);
    ~CSetupPrompt() override;

    std::function<void(bool)> onDontAsk_;
    bool answer_ = true;  // the owner hears of the end
    HHOOK keys_ = nullptr;
};
