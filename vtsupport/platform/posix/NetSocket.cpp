#include "vtsupport/platform/detail/NetSocket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "vtsupport/platform/detail/NetSocketIPv4.inc"

// A closed peer must show up as a failed send, never as SIGPIPE killing the host.
#ifdef MSG_NOSIGNAL
#define VT_SEND_FLAGS MSG_NOSIGNAL
#else
#define VT_SEND_FLAGS 0
#endif

namespace vtsupport {
namespace detail {

namespace {

// A signal landing in the host process must not turn into a failed transfer:
// Windows has no such interruption, so a call it cuts short starts again.
template <typename Call>
auto restarting(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

} // namespace

std::string formatIPv4(std::uint32_t address) {
    in_addr value;
    value.s_addr = address;
    char text[INET_ADDRSTRLEN];
    return ::inet_ntop(AF_INET, &value, text, sizeof text) != nullptr ? text : "";
}

int openStreamSocket() {
    // Closed on exec: a program the host starts must not keep the connection open after the
    // socket has closed it.
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

int connectSocket(int socket, const sockaddr_in* record) {
    if (::connect(socket, reinterpret_cast<const sockaddr*>(record), ipv4RecordSize) == 0)
        return 0;
    if (errno != EINTR)
        return -1;
    // A signal ended the wait, not the connection, which the kernel goes on making: its
    // outcome is waited for, as for a send or receive that a signal interrupts.
    pollfd ready{socket, POLLOUT, 0};
    const int polled = restarting([&] { return ::poll(&ready, 1, -1); });
    int error = 0;
    socklen_t length = sizeof error;
    return polled == 1 && ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                   error == 0
               ? 0
               : -1;
}

namespace {

// Payload size from which a frame is sent gathered rather than joined.
constexpr std::size_t gatherFrom = 4096;

long sendBytes(int socket, const char* bytes, std::size_t length) {
    return static_cast<long>(
        restarting([&] { return ::send(socket, bytes, length, VT_SEND_FLAGS); }));
}

} // namespace

// A large payload goes out from where it is, the kernel gathering it behind the
// header; joining costs less than the gathered call's set-up below a few pages.
long sendFrame(int socket, const char* header, std::size_t headerLength,
               const std::vector<char>& payload, std::vector<char>& joined) {
    if (payload.size() < gatherFrom) {
        joined.assign(header, header + headerLength);
        joined.insert(joined.end(), payload.begin(), payload.end());
        return sendBytes(socket, joined.data(), joined.size());
    }
    iovec parts[2];
    parts[0].iov_base = const_cast<char*>(header);
    parts[0].iov_len = headerLength;
    parts[1].iov_base = const_cast<char*>(payload.data());
    parts[1].iov_len = payload.size();
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    return static_cast<long>(
        restarting([&] { return ::sendmsg(socket, &message, VT_SEND_FLAGS); }));
}

long receiveBytes(int socket, char* buffer, std::size_t capacity) {
    return static_cast<long>(restarting([&] { return ::recv(socket, buffer, capacity, 0); }));
}

void closeSocket(int socket) {
    ::close(socket);
}

} // namespace detail
} // namespace vtsupport
