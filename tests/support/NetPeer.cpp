#include "support/NetPeer.h"

#include <algorithm>
#include <stdexcept>

#include "SocketCalls.h"

namespace vttest {
namespace {
sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}
bool readable(std::intptr_t socket) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{waitSeconds, 0};
    return ::select(static_cast<int>(socket) + 1, &set, nullptr, nullptr, &wait) == 1;
}
} // namespace
bool PeerConnection::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const auto sent = ::send(its_socket, bytes.data() + done,
                                 static_cast<int>(bytes.size() - done), sendFlags);
        if (sent <= 0)
            return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}
std::string PeerConnection::receive(std::size_t count) {
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < count && readable(its_socket)) {
        const auto got = ::recv(its_socket, buffer,
                                static_cast<int>(std::min(sizeof buffer, count - bytes.size())), 0);
        its_end_seen = got == 0;
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}
void PeerConnection::close() {
    if (its_socket != -1)
        closesocket(its_socket);
    its_socket = -1;
}
PeerListener::PeerListener(bool queueOfOne) {
    startSockets();
    its_socket = static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (::bind(its_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(its_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(its_socket, queueOfOne ? 0 : SOMAXCONN) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    its_port = ntohs(address.sin_port);
}
PeerConnection PeerListener::accept() {
    return PeerConnection(readable(its_socket)
                              ? static_cast<std::intptr_t>(::accept(its_socket, nullptr, nullptr))
                              : -1);
}
PeerConnection PeerListener::fillQueue() {
    const sockaddr_in address = loopback(its_port);
    const auto socket = static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, 0));
    stopBlocking(socket);
    ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return PeerConnection(socket);
}
std::string frameOf(const std::string& payload) {
    const std::string digits = std::to_string(payload.size());
    return std::string(1, static_cast<char>(digits.size())) + digits + payload;
}
int unusedPort() {
    return PeerListener().port();
}
} // namespace vttest
