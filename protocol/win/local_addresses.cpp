#include <iphlpapi.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "protocol/win/server_socket.h"

namespace {

// The system's interface list, at most `capacity` records, into `list`; the
// number of records, or -1 when the query fails (too many interfaces for
// the room given make it fail).
int QueryInterfaces(INTERFACE_INFO* list, size_t capacity) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return -1;
    int records = -1;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s != INVALID_SOCKET) {
        DWORD returned = 0;
        if (WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, list,
                     static_cast<DWORD>(capacity * sizeof(INTERFACE_INFO)), &returned, nullptr,
                     nullptr) != SOCKET_ERROR)
            records =
                static_cast<int>(std::min<size_t>(returned / sizeof(INTERFACE_INFO), capacity));
        closesocket(s);
    }
    WSACleanup();
    return records;
}

}  // namespace

int GetLocalAddresses(uint32_t* addrs, int capacity, int* count) {
    *count = 0;
    // Room for ten interface records; more interfaces make the query fail.
    INTERFACE_INFO list[10];
    static_assert(sizeof list == 760, "ten 76-byte interface records");
    const int records = QueryInterfaces(list, 10);
    if (records < 0)
        return 0;
    int n = 0;
    for (int i = 0; i < records && n < capacity; ++i) {
        if (list[i].iiFlags & (IFF_LOOPBACK | IFF_POINTTOPOINT))
            continue;
        addrs[n++] = list[i].iiAddress.AddressIn.sin_addr.s_addr;
    }
    *count = n;
    return 1;
}

int GetLocalInterfaces(std::vector<proto::LocalInterface>* out) {
    out->clear();
    std::vector<INTERFACE_INFO> list(kMaxInterfaces);
    const int records = QueryInterfaces(list.data(), list.size());
    if (records < 0)
        return 0;
    for (int i = 0; i < records; ++i) {
        if (list[i].iiAddress.Address.sa_family != AF_INET)
            continue;
        proto::LocalInterface li;
        li.address = ntohl(list[i].iiAddress.AddressIn.sin_addr.s_addr);
        // The broadcast address the query gives is not reliable (Windows
        // reports 255.255.255.255 for every interface): the netmask is.
        li.netmask = ntohl(list[i].iiNetmask.AddressIn.sin_addr.s_addr);
        const ULONG flags = list[i].iiFlags;
        li.flags = ((flags & IFF_UP) ? proto::kIfUp : 0) |
                   ((flags & IFF_BROADCAST) ? proto::kIfBroadcast : 0) |
                   ((flags & IFF_LOOPBACK) ? proto::kIfLoopback : 0) |
                   ((flags & IFF_POINTTOPOINT) ? proto::kIfPointToPoint : 0);
        out->push_back(li);
    }
    return 1;
}

uint32_t GetBroadcastAdapter() {
    DWORD index = 0;
    if (GetBestInterface(htonl(INADDR_BROADCAST), &index) != NO_ERROR)
        return 0;
    ULONG size = 0;
    if (GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return 0;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR)
        return 0;
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        if (table->table[i].dwIndex == index && table->table[i].dwAddr != 0)
            return ntohl(table->table[i].dwAddr);
    return 0;
}
