#include "app/server_list.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace app {

proto::ServerInfo* ServerList::At(int index) {
    if (index < 0 || index >= Count())
        return nullptr;
    return &entries_[static_cast<size_t>(index)]->info;
}

const std::string& ServerList::RowName(int index) const {
    static const std::string kNone;
    if (index < 0 || index >= Count())
        return kNone;
    return entries_[static_cast<size_t>(index)]->rowName;
}

ServerHandle ServerList::HandleAt(int index) const {
    if (index < 0 || index >= Count())
        return kNoServer;
    return entries_[static_cast<size_t>(index)]->handle;
}

uint64_t ServerList::IdKey(const uint8_t id[6]) {
    uint64_t key = 0;
    for (int i = 0; i < 6; ++i)
        key = (key << 8) | id[i];
    return key;
}

proto::ServerInfo* ServerList::Append(const proto::ServerInfo& info, const std::string& rowName) {
    const int index = Count();
    auto entry = std::make_unique<Entry>(Entry{info, rowName, nextHandle_++});
    byIp_.emplace(info.ip, index);  // keeps the first record of an address
    byId_.emplace(IdKey(info.id), index);
    byHandle_.emplace(entry->handle, index);
    if (info.selected == 1 && selected_ < 0)
        selected_ = index;
    entries_.push_back(std::move(entry));
    return &entries_.back()->info;
}

void ServerList::Clear() {
    entries_.clear();
    byIp_.clear();
    byId_.clear();
    byHandle_.clear();
    selected_ = -1;
    direct_.clear();
}

proto::ServerInfo* ServerList::FindByIp(uint32_t ip) {
    auto it = byIp_.find(ip);
    return it == byIp_.end() ? nullptr : At(it->second);
}

proto::ServerInfo* ServerList::Find(ServerHandle handle) {
    return At(IndexOf(handle));
}

ServerHandle ServerList::FindById(const uint8_t id[8]) const {
    int first = -1;
    auto [from, to] = byId_.equal_range(IdKey(id));
    for (auto it = from; it != to; ++it)
        if ((first < 0 || it->second < first) &&
            std::memcmp(entries_[static_cast<size_t>(it->second)]->info.id, id, 8) == 0)
            first = it->second;
    return HandleAt(first);
}

int ServerList::IndexOf(ServerHandle handle) const {
    auto it = byHandle_.find(handle);
    return it == byHandle_.end() ? -1 : it->second;
}

proto::ServerInfo* ServerList::FindSelected() {
    return At(selected_);
}

ServerHandle ServerList::SelectedHandle() const {
    return HandleAt(selected_);
}

void ServerList::MarkSelected(int index) {
    if (selected_ >= 0 && selected_ == index)
        return;
    if (selected_ >= 0)
        entries_[static_cast<size_t>(selected_)]->info.selected = 0;
    selected_ = -1;
    if (proto::ServerInfo* target = At(index)) {
        target->selected = 1;
        selected_ = index;
    }
}

void ServerList::ClearSelection() {
    MarkSelected(-1);
}

int ServerList::RowForReply(uint32_t sourceIp, const uint8_t serverId[6],
                            const std::string& name) const {
    int best = -1;
    auto consider = [&](int index) {
        if (RowName(index) == name && (best < 0 || index < best))
            best = index;
    };
    if (auto it = byIp_.find(sourceIp); it != byIp_.end())
        consider(it->second);
    auto [first, last] = byId_.equal_range(IdKey(serverId));
    for (auto it = first; it != last; ++it)
        consider(it->second);
    return best;
}

void ServerList::Reorder(const std::vector<int>& order) {
    if (order.size() != entries_.size())
        return;
    std::vector<std::unique_ptr<Entry>> old = std::move(entries_);
    entries_.clear();
    for (int i : order) {
        if (i < 0 || static_cast<size_t>(i) >= old.size() || !old[static_cast<size_t>(i)]) {
            // Not a permutation: keep what is left in its old order.
            for (auto& e : old)
                if (e)
                    entries_.push_back(std::move(e));
            break;
        }
        entries_.push_back(std::move(old[static_cast<size_t>(i)]));
    }
    Reindex();
}

void ServerList::Reindex() {
    byIp_.clear();
    byId_.clear();
    byHandle_.clear();
    selected_ = -1;
    for (int i = 0; i < Count(); ++i) {
        const Entry& e = *entries_[static_cast<size_t>(i)];
        byIp_.emplace(e.info.ip, i);
        byId_.emplace(IdKey(e.info.id), i);
        byHandle_.emplace(e.handle, i);
        if (e.info.selected == 1 && selected_ < 0)
            selected_ = i;
    }
}

namespace {
std::string Upper(const std::string& s) {
    std::string u = s;
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return u;
}
}  // namespace

std::vector<int> SortOrder(const std::vector<std::string>& texts, bool ascending) {
    std::vector<std::string> keys;
    keys.reserve(texts.size());
    for (const auto& t : texts)
        keys.push_back(Upper(t));
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(texts.size()); ++i) {
        // Insert after every key that is not greater: equal texts keep their order.
        auto pos = order.end();
        while (pos != order.begin() &&
               keys[static_cast<size_t>(*(pos - 1))] > keys[static_cast<size_t>(i)])
            --pos;
        order.insert(pos, i);
    }
    if (!ascending)
        std::reverse(order.begin(), order.end());
    return order;
}

namespace {
int LeadingNumber(const std::string& s, size_t from) {
    long v = 0;
    for (size_t i = from; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
        if (v < 1000000)
            v = v * 10 + (s[i] - '0');
    return static_cast<int>(v);
}
}  // namespace

bool HelpEnabledForVersion(const std::string& version) {
    const int major = LeadingNumber(version, 0);
    const size_t dot = version.find('.');
    const int minor = dot == std::string::npos ? 0 : LeadingNumber(version, dot + 1);
    if (major == 1 || major == 4)
        return true;
    if (major == 2 && minor >= 29)
        return true;
    if (major == 3 && minor >= 13)
        return true;
    return false;
}

}  // namespace app
