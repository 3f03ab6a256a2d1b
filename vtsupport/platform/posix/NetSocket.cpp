#include "vtsupport/platform/detail/NetSocket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

// A closed peer must show up as a failed send, never as SIGPIPE killing the host.
#ifdef MSG_NOSIGNAL
#define VT_SEND_FLAGS MSG_NOSIGNAL
#else
#define VT_SEND_FLAGS 0
#endif

static_assert(sizeof(sockaddr_in) == vtsupport::detail::ipv4RecordSize,
              "the address record is expected to be 16 bytes");

namespace vtsupport {
namespace detail {

namespace {

bool firstIPv4Of(const hostent* entry, std::uint32_t& firstAddress) {
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
        entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
        return false;
    std::memcpy(&firstAddress, entry->h_addr_list[0], 4);
    return true;
}

} // namespace

std::uint32_t parseIPv4(const std::string& dotted) {
    return ::inet_addr(dotted.c_str());
}

std::string formatIPv4(std::uint32_t address) {
    in_addr value;
    value.s_addr = address;
    char text[INET_ADDRSTRLEN];
    return ::inet_ntop(AF_INET, &value, text, sizeof text) != nullptr ? text : "";
}

void fillIPv4Record(unsigned char* record, std::uint32_t address, int port) {
    sockaddr_in filled;
    std::memset(&filled, 0, sizeof filled);
    filled.sin_family = AF_INET;
    filled.sin_port = htons(static_cast<std::uint16_t>(port));
    filled.sin_addr.s_addr = address;
    std::memcpy(record, &filled, sizeof filled);
}

bool lookupHostByName(const std::string& name, std::uint32_t& firstAddress) {
    return firstIPv4Of(::gethostbyname(name.c_str()), firstAddress);
}

bool lookupHostByAddress(std::uint32_t address, std::uint32_t& firstAddress) {
    return firstIPv4Of(::gethostbyaddr(&address, 4, AF_INET), firstAddress);
}

int openStreamSocket() {
    return ::socket(AF_INET, SOCK_STREAM, 0);
}

int connectSocket(int socket, const sockaddr_in* record) {
    return ::connect(socket, reinterpret_cast<const sockaddr*>(record), ipv4RecordSize);
}

// A signal landing in the host process must not turn into a failed transfer:
// Windows has no such interruption, so both calls simply start again.
long sendBytes(int socket, const char* bytes, std::size_t length) {
    ssize_t sent;
    do {
        sent = ::send(socket, bytes, length, VT_SEND_FLAGS);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

long receiveBytes(int socket, char* buffer, std::size_t capacity) {
    ssize_t received;
    do {
        received = ::recv(socket, buffer, capacity, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

void closeSocket(int socket) {
    ::close(socket);
}

} // namespace detail
} // namespace vtsupport
