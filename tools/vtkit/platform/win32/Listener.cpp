#include "../Listener.h"

#include <winsock2.h>

namespace vtkit {
namespace platform {

// Winsock is started by the vtsupport DLL when it loads.
int listenLoopback(int port, int& boundPort, std::string& error) {
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) {
        error = "socket() failed with error " + std::to_string(::WSAGetLastError());
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "bind/listen failed with error " + std::to_string(::WSAGetLastError());
        ::closesocket(listener);
        return -1;
    }
    boundPort = ntohs(address.sin_port);
    return static_cast<int>(listener);
}

int acceptConnection(int listener) {
    const SOCKET connection = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    return connection == INVALID_SOCKET ? -1 : static_cast<int>(connection);
}

void closeListener(int listener) {
    ::closesocket(static_cast<SOCKET>(listener));
}

} // namespace platform
} // namespace vtkit
