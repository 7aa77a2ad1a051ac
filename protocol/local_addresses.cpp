#include <winsock2.h>
#include <ws2tcpip.h>

#include "protocol/server_socket.h"

int GetLocalAddresses(uint32_t* addrs, int capacity, int* count) {
    *count = 0;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 0;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return 0;
    }
    // Room for ten interface records; more interfaces make the query fail.
    INTERFACE_INFO list[10];
    static_assert(sizeof list == 760, "ten 76-byte interface records");
    DWORD returned = 0;
    if (WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &returned, nullptr,
                 nullptr) == SOCKET_ERROR) {
        closesocket(s);
        WSACleanup();
        return 0;
    }
    closesocket(s);
    int n = 0;
    const int records = static_cast<int>(returned / sizeof(INTERFACE_INFO));
    for (int i = 0; i < records && n < capacity; ++i) {
        if (list[i].iiFlags & (IFF_LOOPBACK | IFF_POINTTOPOINT))
            continue;
        addrs[n++] = list[i].iiAddress.AddressIn.sin_addr.s_addr;
    }
    WSACleanup();
    *count = n;
    return 1;
}
