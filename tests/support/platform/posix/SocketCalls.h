// The BSD socket calls as the peer of the networking tests uses them (Winsock's names on POSIX).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace vttest {
inline void startSockets() {}
inline int closesocket(int socket) {
    return ::close(socket);
}
inline void stopBlocking(std::intptr_t socket) {
    const int descriptor = static_cast<int>(socket);
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
}
// A peer that is gone is a failed send, not a signal.
constexpr int sendFlags = MSG_NOSIGNAL;
} // namespace vttest
