// The main window's list of discovered servers, kept in the same order as the
// rows of the list view (row i is record i). Portable.
#pragma once

#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/exchange.h"

namespace app {

class ServerList {
public:
    // The lock that guards the records against the import worker. It is not
    // re-entrant: the methods below that take it must not be nested.
    std::mutex& Lock() { return lock_; }

    // Unlocked accessors: the caller holds Lock() where another thread can meet.
    std::list<proto::ServerInfo>& Records() { return records_; }
    int Count() const { return static_cast<int>(records_.size()); }
    proto::ServerInfo* At(int index);
    proto::ServerInfo* FindByIp(uint32_t ip);
    // The first record whose selected flag is 1, or none.
    proto::ServerInfo* FindSelected();
    // Selects the record at `index`, clearing the one selected before.
    void MarkSelected(int index);
    // Reorders the records: new position i takes the record at order[i].
    void Reorder(const std::vector<int>& order);
    void Clear() { records_.clear(); }

private:
    std::mutex lock_;
    std::list<proto::ServerInfo> records_;
};

// Row order for a column sort: a stable insertion sort of `texts` compared as
// upper-case text; descending is the exact reverse of the ascending order.
// Returns, for each new position, the old row index.
std::vector<int> SortOrder(const std::vector<std::string>& texts, bool ascending);

// Whether "&Help" stays enabled after an import, by the selected row's Version
// text: major 1 or 4, 2.29 and later, 3.13 and later.
bool HelpEnabledForVersion(const std::string& version);

}  // namespace app
