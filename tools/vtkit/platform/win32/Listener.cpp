#include "../Listener.h"

// winsock2.h first: windows.h would otherwise bring in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

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

int acceptConnection(int listener, int milliseconds, std::string& error) {
    const SOCKET socket = static_cast<SOCKET>(listener);
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int events = ::select(0, &ready, nullptr, nullptr, &wait);
    if (events == 0)
        return -2;
    const SOCKET connection = events < 0 ? INVALID_SOCKET : ::accept(socket, nullptr, nullptr);
    if (connection != INVALID_SOCKET)
        return static_cast<int>(connection);
    const int code = ::WSAGetLastError();
    // The connection may have been reset between select and accept: wait again.
    if (code == WSAECONNRESET || code == WSAEWOULDBLOCK)
        return -2;
    // Short of sockets or buffers: the queue keeps the client until a
    // connection ends; meanwhile select would report it at once, so wait.
    if (code == WSAEMFILE || code == WSAENOBUFS) {
        ::Sleep(static_cast<DWORD>(milliseconds));
        return -2;
    }
    error = "accept() failed with error " + std::to_string(code);
    return -1;
}

long receiveSome(int connection, char* buffer, std::size_t size) {
    return ::recv(static_cast<SOCKET>(connection), buffer,
                  static_cast<int>(size < 0x7fffffff ? size : 0x7fffffff), 0);
}

void closeListener(int listener) {
    ::closesocket(static_cast<SOCKET>(listener));
}

// A shut socket refuses later receives, but one already waiting is not woken
// by it: that one is cancelled.
void shutdownConnection(int connection) {
    const SOCKET socket = static_cast<SOCKET>(connection);
    ::shutdown(socket, SD_BOTH);
    ::CancelIoEx(reinterpret_cast<HANDLE>(socket), nullptr);
}

} // namespace platform
} // namespace vtkit
