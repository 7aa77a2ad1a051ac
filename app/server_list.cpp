#include "app/server_list.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace app {

proto::ServerInfo* ServerList::At(int index) {
    if (index < 0 || index >= Count())
        return nullptr;
    auto it = records_.begin();
    std::advance(it, index);
    return &*it;
}

proto::ServerInfo* ServerList::FindByIp(uint32_t ip) {
    for (auto& s : records_)
        if (s.ip == ip)
            return &s;
    return nullptr;
}

proto::ServerInfo* ServerList::FindSelected() {
    for (auto& s : records_)
        if (s.selected == 1)
            return &s;
    return nullptr;
}

void ServerList::MarkSelected(int index) {
    proto::ServerInfo* target = At(index);
    for (auto& s : records_) {
        if (s.selected == 1) {
            if (&s == target)
                return;
            s.selected = 0;
            break;
        }
    }
    if (target != nullptr)
        target->selected = 1;
}

void ServerList::Reorder(const std::vector<int>& order) {
    std::vector<proto::ServerInfo> old(records_.begin(), records_.end());
    if (order.size() != old.size())
        return;
    records_.clear();
    for (int i : order)
        records_.push_back(old[static_cast<size_t>(i)]);
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
