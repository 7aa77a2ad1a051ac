// The share selection dialog's behaviour without the window: finding the
// user name, listing the shares with its fallbacks (anonymous "IPC$", the
// logged-on user's credentials, asking the user), and "Map Network Drive".
// The dialog holds copies of the server's address and name, taken when it
// opens: a new discovery that rebuilds the server list meanwhile cannot make
// it act on another server. Portable.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "mapdrive/drive_net.h"

namespace mapdrive {

// The credentials dialog's fields: in on opening, out on OK.
struct ConnectRequest {
    std::string server;
    std::string share;  // empty: the whole server
    std::string userName;
    std::string password;
};

class SelectShareView {
public:
    virtual ~SelectShareView() = default;
    // Shows the credentials dialog, which connects on OK; false on Cancel.
    virtual bool RunConnect(ConnectRequest& request) = 0;
    // The connection dialog for `remote`: the result, and the drive number
    // it mapped (1 = A:) or 0.
    virtual int ConnectionDialog(const std::string& remote, int* drive) = 0;
    // Opens the drive root ("z:") in a file window.
    virtual void OpenDrive(const std::string& root) = 0;
};

class SelectShareFlow {
public:
    SelectShareFlow(Network& net, SelectShareView& view, std::string serverAddress,
                    std::string serverName)
        : net_(net),
          view_(view),
          serverAddress_(std::move(serverAddress)),
          serverName_(std::move(serverName)) {}

    // The opening sequence. False when the user cancelled the credentials
    // prompt: the dialog closes with Cancel.
    bool Open();

    enum MapOutcome { MAP_NOTHING, MAP_STAY_OPEN, MAP_CLOSE };
    // "Map Network Drive" with the selected share, or none.
    MapOutcome Map(const std::string* share);

    // The name to show and connect to: the name, or the address when empty.
    const std::string& serverText() const {
        return serverName_.empty() ? serverAddress_ : serverName_;
    }
    // The names of the last listing (the list box sorts them); the map
    // button starts disabled when there are none.
    const std::vector<std::string>& shares() const { return shares_; }
    const std::string& userName() const { return userName_; }
    const std::string& password() const { return password_; }
    int lastListResult() const { return listResult_; }

private:
    bool List();
    void FindUserName();

    Network& net_;
    SelectShareView& view_;
    std::string serverAddress_;
    std::string serverName_;
    std::string userName_;
    std::string password_;
    std::vector<std::string> shares_;
    int listResult_ = -1;
};

}  // namespace mapdrive
