#include "vtsupport/platform/detail/NetSocket.h"

#include <winsock2.h>

#include <climits>

#include "vtsupport/platform/detail/NetSocketIPv4.inc"

namespace vtsupport {
namespace detail {

namespace {

// Starts the socket library when the DLL is loaded and stops it at unload, so
// sockets work from the first call on. Results are not examined: a failed
// start-up shows up as failing socket calls, which report their own errors.
class WinsockStartup {
public:
    WinsockStartup() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(1, 0), &data);
    }
    ~WinsockStartup() { ::WSACleanup(); }
    WinsockStartup(const WinsockStartup&) = delete;
    WinsockStartup& operator=(const WinsockStartup&) = delete;
};

WinsockStartup winsockStartup;

// The joined frame's room kept between frames at most.
constexpr std::size_t keptCapacity = 64 * 1024;

// Winsock counts in int; a larger request is cut, which the caller sees as a short count.
int clampLength(std::size_t length) {
    return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

} // namespace

std::string formatIPv4(std::uint32_t address) {
    in_addr value;
    value.s_addr = address;
    const char* text = ::inet_ntoa(value);
    return text != nullptr ? text : "";
}

// SOCKET is pointer-sized; its values are small handles that fit an int, and
// INVALID_SOCKET (all ones) becomes -1. Winsock makes sockets inheritable: a
// program the host starts with inheritance would keep the connection open.
int openStreamSocket() {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket != INVALID_SOCKET)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return static_cast<int>(socket);
}

int connectSocket(int socket, const sockaddr_in* record) {
    return ::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(record),
                     static_cast<int>(ipv4RecordSize));
}

// The socket library is called by the names the Windows documentation gives,
// so the frame is joined and goes out with send. The room is kept for the next
// frame unless it is large: one big message must not weigh on the socket's life.
long sendFrame(int socket, const char* header, std::size_t headerLength,
               const std::vector<char>& payload, std::vector<char>& joined) {
    joined.clear();
    joined.reserve(headerLength + payload.size());
    joined.insert(joined.end(), header, header + headerLength);
    joined.insert(joined.end(), payload.begin(), payload.end());
    const long sent =
        ::send(static_cast<SOCKET>(socket), joined.data(), clampLength(joined.size()), 0);
    if (joined.capacity() > keptCapacity)
        std::vector<char>().swap(joined);
    return sent;
}

long receiveBytes(int socket, char* buffer, std::size_t capacity) {
    return ::recv(static_cast<SOCKET>(socket), buffer, clampLength(capacity), 0);
}

void closeSocket(int socket) {
    ::closesocket(static_cast<SOCKET>(socket));
}

} // namespace detail
} // namespace vtsupport
