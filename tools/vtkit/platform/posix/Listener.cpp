#include "../Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vtkit {
namespace platform {

int listenLoopback(int port, int& boundPort, std::string& error) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0) {
        error = std::strerror(errno);
        return -1;
    }
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = std::strerror(errno);
        ::close(listener);
        return -1;
    }
    boundPort = ntohs(address.sin_port);
    return listener;
}

int acceptConnection(int listener, int milliseconds, std::string& error) {
    pollfd ready{listener, POLLIN, 0};
    const int events = ::poll(&ready, 1, milliseconds);
    if (events == 0 || (events < 0 && errno == EINTR))
        return -2;
    const int connection = events < 0 ? -1 : ::accept(listener, nullptr, nullptr);
    if (connection >= 0)
        return connection;
    // The connection may have been reset between poll and accept: wait again.
    if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN)
        return -2;
    // Short of descriptors or memory: the queue keeps the client until a
    // connection ends; meanwhile poll would report it at once, so wait.
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        ::poll(nullptr, 0, milliseconds);
        return -2;
    }
    error = std::strerror(errno);
    return -1;
}

long receiveSome(int connection, char* buffer, std::size_t size) {
    ssize_t received;
    do {
        received = ::recv(connection, buffer, size, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

void closeListener(int listener) {
    ::close(listener);
}

void shutdownConnection(int connection) {
    ::shutdown(connection, SHUT_RDWR);
}

} // namespace platform
} // namespace vtkit
