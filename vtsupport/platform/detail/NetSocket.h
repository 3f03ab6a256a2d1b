// The socket services of the networking classes, declared once and implemented
// per OS in posix/NetSocket.cpp and win32/NetSocket.cpp; the IPv4 helpers, the
// same calls on both, are written once in NetSocketIPv4.inc. Descriptors are ints
// with -1 for "none"; IPv4 addresses are 32-bit values in network byte order.
// Every call maps onto exactly one call of the OS socket interface, so its
// results (counts, negative failures, 0 at the peer's end) are the OS's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct sockaddr_in;

namespace vtsupport {
namespace detail {

// Bytes in the OS's IPv4 socket address record.
constexpr std::size_t ipv4RecordSize = 16;
// What text that is not an IPv4 address converts to.
constexpr std::uint32_t invalidIPv4 = 0xFFFFFFFFu;

// Dotted decimal text to an address; invalidIPv4 for anything else.
std::uint32_t parseIPv4(const std::string& dotted);
// The dotted decimal text of an address.
std::string formatIPv4(std::uint32_t address);
// Writes ipv4RecordSize bytes at `record`: family AF_INET, the low 16 bits of
// `port` in network order, `address` unchanged, the rest zero.
void fillIPv4Record(unsigned char* record, std::uint32_t address, int port);

// Forward and reverse host lookups; true and the entry's first address when found.
bool lookupHostByName(const std::string& name, std::uint32_t& firstAddress);
bool lookupHostByAddress(std::uint32_t address, std::uint32_t& firstAddress);

// A new blocking TCP descriptor, -1 on failure.
int openStreamSocket();
// Connects with a record filled by fillIPv4Record; negative on failure.
int connectSocket(int socket, const sockaddr_in* record);
// Sends `header` and then `payload` as one frame in one send call; the count
// accepted or a negative value. Where the OS can send both parts in one call
// they go as they are; otherwise they are joined in `joined` first, which keeps
// its capacity from one small frame to the next.
long sendFrame(int socket, const char* header, std::size_t headerLength,
               const std::vector<char>& payload, std::vector<char>& joined);
// One receive call; the count received, 0 once the peer has closed, or negative.
long receiveBytes(int socket, char* buffer, std::size_t capacity);
// Releases the descriptor; failures are ignored.
void closeSocket(int socket);

} // namespace detail
} // namespace vtsupport
