#include "mapdrive/select_share.h"

namespace mapdrive {

void SelectShareFlow::FindUserName() {
    std::string user;
    const std::string resource = UncPath(serverAddress_);
    if (net_.GetUser(&resource, &user) != 0 && net_.GetUser(nullptr, &user) != 0 &&
        !net_.LogonName(&user))
        user.clear();
    userName_ = user;
    password_.clear();
}

// Lists the shares of the server. The listing addresses the server by its
// name, and by its address when it has no name ("\\" alone names nothing).
bool SelectShareFlow::List() {
    ShareList list;
    listResult_ = listShares(net_, serverText(), &list);
    shares_ = listResult_ == 0 ? list.Names() : std::vector<std::string>();
    return listResult_ == 0;
}

bool SelectShareFlow::Open() {
    FindUserName();
    const std::string& server = serverText();
    if (List())
        return true;

    // Anonymous: an empty user name and password for "IPC$", cancelled at once.
    if (connectShare(net_, server, "IPC$", std::string(), std::string(), nullptr) == 0) {
        const bool listed = List();
        const std::string ipc = "IPC$";
        cancelShare(net_, server, &ipc);
        if (listed)
            return true;
    }

    // The logged-on user's credentials, unless some connection exists already.
    if (!isConnected(net_, server, nullptr)) {
        connectShare(net_, server, std::string(), std::nullopt, std::nullopt, nullptr);
        if (List())
            return true;
    }

    ConnectRequest request{server, std::string(), userName_, password_};
    if (!view_.RunConnect(request))
        return false;
    userName_ = request.userName;
    password_ = request.password;
    List();
    return true;
}

SelectShareFlow::MapOutcome SelectShareFlow::Map(const std::string* share) {
    if (share == nullptr)
        return MAP_NOTHING;
    const std::string& server = serverText();
    const std::string remote = UncPath(server, *share);
    if (!isConnected(net_, server, nullptr)) {
        ConnectRequest request{server, *share, "administrator", std::string()};
        if (!view_.RunConnect(request))
            return MAP_STAY_OPEN;
        userName_ = request.userName;
        password_ = request.password;
    }
    int drive = 0;
    view_.ConnectionDialog(remote, &drive);
    const std::string root = DriveRoot(drive);
    if (!root.empty())
        view_.OpenDrive(root);
    return MAP_CLOSE;
}

}  // namespace mapdrive
