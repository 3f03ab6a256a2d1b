// The Winsock calls as the peer of the networking tests uses them.
#pragma once

// Winsock first: windows.h would otherwise pull in the old socket header.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

namespace vttest {
// The tests' own start-up, apart from the library's (Winsock counts them).
inline void startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
inline void stopBlocking(std::intptr_t socket) {
    u_long on = 1;
    ::ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &on);
}
constexpr int sendFlags = 0;
} // namespace vttest
