// The main window's list of discovered servers, kept in the same order as the
// rows of the list view (row i is record i). Every lookup that a reply needs
// (by address, by server id, the selected record, a record by its handle) takes
// constant time, so that thousands of servers answering one discovery cost the
// same per server as a few. Portable.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "flow/host.h"
#include "protocol/exchange.h"

namespace app {

// Names one record for as long as it is in the list (see flow/host.h).
using ServerHandle = flow::ServerHandle;
using flow::kNoServer;
// What the user is doing with a server (ServerInfo::flow).
using flow::FLOW_CONFIGURE;
using flow::FLOW_DETAILS;
using flow::FLOW_IMPORT;
using flow::FLOW_NONE;
using flow::FLOW_WIZARD;

class ServerList {
public:
    // The lock that guards the records against the import worker. It is not
    // re-entrant. The methods below do not take it: the caller holds it where
    // another thread can meet.
    std::mutex& Lock() { return lock_; }

    int Count() const { return static_cast<int>(entries_.size()); }
    proto::ServerInfo* At(int index);
    // The Name column text of row `index` (the first item of the discovery
    // reply, which is not always the server's name).
    const std::string& RowName(int index) const;
    ServerHandle HandleAt(int index) const;

    // Appends a record and its row's name; returns the record (its address
    // stays valid until the list is cleared).
    proto::ServerInfo* Append(const proto::ServerInfo& info, const std::string& rowName);
    void Clear();

    proto::ServerInfo* FindByIp(uint32_t ip);
    proto::ServerInfo* Find(ServerHandle handle);
    // The first record with this whole 8-byte id (hardware address and
    // origin), or kNoServer.
    ServerHandle FindById(const uint8_t id[8]) const;
    int IndexOf(ServerHandle handle) const;
    // The first record whose selected flag is 1, or none.
    proto::ServerInfo* FindSelected();
    ServerHandle SelectedHandle() const;
    // Selects the record at `index`, clearing the one selected before (an
    // index off the list clears the selection).
    void MarkSelected(int index);
    void ClearSelection();

    // The row a status reply belongs to: a row whose Name text is `name` and
    // whose record sent the reply (same address, or same server id). -1 when
    // there is none.
    int RowForReply(uint32_t sourceIp, const uint8_t serverId[6], const std::string& name) const;

    // Servers the limited broadcast does not reach (on another adapter's
    // subnet, or asked by address): requests to them go to `destination`
    // (their subnet's broadcast, or their own address). 0: the limited
    // broadcast.
    void SetDestination(uint32_t ip, uint32_t destination) { direct_[ip] = destination; }
    uint32_t Destination(uint32_t ip) const {
        const auto it = direct_.find(ip);
        return it == direct_.end() ? 0 : it->second;
    }

    // Reorders the records: new position i takes the record at order[i].
    void Reorder(const std::vector<int>& order);

private:
    struct Entry {
        proto::ServerInfo info;
        std::string rowName;
        ServerHandle handle;
    };
    static uint64_t IdKey(const uint8_t id[6]);
    void Reindex();

    std::mutex lock_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::unordered_map<uint32_t, int> byIp_;  // first record of each address
    std::unordered_multimap<uint64_t, int> byId_;
    std::unordered_map<ServerHandle, int> byHandle_;
    int selected_ = -1;
    ServerHandle nextHandle_ = 1;
    std::unordered_map<uint32_t, uint32_t> direct_;
};

// Row order for a column sort: a stable insertion sort of `texts` compared as
// upper-case text; descending is the exact reverse of the ascending order.
// Returns, for each new position, the old row index.
std::vector<int> SortOrder(const std::vector<std::string>& texts, bool ascending);

// Whether "&Help" stays enabled after an import, by the selected row's Version
// text: major 1 or 4, 2.29 and later, 3.13 and later.
bool HelpEnabledForVersion(const std::string& version);

}  // namespace app
