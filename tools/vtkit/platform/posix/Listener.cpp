#include "../Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
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

int acceptConnection(int listener) {
    for (;;) {
        const int connection = ::accept(listener, nullptr, nullptr);
        if (connection >= 0 || errno != EINTR)
            return connection;
    }
}

void closeListener(int listener) {
    ::close(listener);
}

} // namespace platform
} // namespace vtkit
