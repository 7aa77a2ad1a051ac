// The drive mapping dialogs: "Select Network Share" (CSelectShare), the
// credentials dialog "Connect" (CConnect), and "Map Network Drive"
// (CDriveLetter), our own stand-in for the system's connection dialog where
// the system has none.
#pragma once

#include <string>

#include "mapdrive/select_share.h"
#include "ui/dialog.h"

namespace mapdrive {

class CConnect : public ui::Dialog {
public:
    CConnect(HWND parent, Network& net);

    std::string userName;
    std::string password;
    std::string server;
    std::string share;  // empty: the whole server
    int result = 0;     // the last attempt's connection result

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    Network& net_;
};

class CDriveLetter : public ui::Dialog {
public:
    CDriveLetter(HWND parent, Network& net, std::string remote);

    int drive = 0;  // the mapped drive's number on OK (1 = A:)

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    Network& net_;
    std::string remote_;
};

class CSelectShare : public ui::Dialog, private SelectShareView {
public:
    // Keeps copies of the server's address ("%d.%d.%d.%d") and name.
    CSelectShare(HWND parent, Network& net, const std::string& serverAddress,
                 const std::string& serverName);

    const std::string serverAddress;
    const std::string serverName;
    const std::string& userName() const { return flow_.userName(); }
    const std::string& password() const { return flow_.password(); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    bool RunConnect(ConnectRequest& request) override;
    int ConnectionDialog(const std::string& remote, int* drive) override;
    void OpenDrive(const std::string& root) override;
    void MapNetworkDrive();

    Network& net_;
    SelectShareFlow flow_;
};

// "&Map Drive": the share selection for one server, over the system's network.
void RunSelectShare(HWND owner, const std::string& serverAddress, const std::string& serverName);

}  // namespace mapdrive
