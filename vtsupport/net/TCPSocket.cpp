#include "vtsupport/net/TCPSocket.h"

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <string>
#include <utility>

#include "vtsupport/platform/detail/NetSocket.h"

namespace detail = vtsupport::detail;

namespace {

constexpr std::size_t chunkSize = 1024;
constexpr long long maxReserve = 1 << 20;

template <typename Value>
std::string message(const char* prefix, const Value& value) {
    std::ostringstream text;
    text << prefix << value;
    return text.str();
}

// Reads the frame header at the start of `chunk` the way a formatted stream
// extraction of an int does; throws the header failures. Returns the header's size.
std::size_t parseHeader(const char* chunk, std::size_t size, long long& length) {
    const int digits = static_cast<signed char>(chunk[0]);
    if (static_cast<long long>(size) < digits + 1LL)
        throw std::string("Error: TCPSocketBase does not support partial ") + "header sends";
    // Up to nine plain digits are a number whatever the locale, and are what
    // write() sends; anything else goes through the stream extraction itself.
    int value = 0;
    bool plain = digits > 0 && digits <= 9;
    for (int i = 1; plain && i <= digits; ++i) {
        plain = chunk[i] >= '0' && chunk[i] <= '9';
        value = value * 10 + (chunk[i] - '0');
    }
    if (!plain) {
        const std::string header = digits > 0 ? std::string(chunk + 1, digits) : std::string();
        std::istringstream in(header);
        value = 0;
        if (!(in >> value))
            throw message("Error: Cannot convert to int: ", header);
    }
    if (value < 0)
        throw message("Error: Invalid message length: ", value);
    length = value;
    return static_cast<std::size_t>(digits > 0 ? digits : 0) + 1;
}

} // namespace

TCPSocketBase::TCPSocketBase(int sock) : address_(0UL, -1), sock_(sock) {}

TCPSocketBase::TCPSocketBase(TCPSocketBase& other)
    : address_(other.getAddress()), sock_(other.getSocket()), pending_(std::move(other.pending_)) {
    other.invalidate();
}

TCPSocketBase::TCPSocketBase(const TCPAddress& address)
    : address_(address), sock_(detail::openStreamSocket()) {
    if (sock_ < 0) {
        sock_ = -1;
        std::ostringstream text;
        text << "Error: Cannot open socket at: " << address_.getIPString()
             << " on port: " << address_.getPort();
        throw text.str();
    }
}

TCPSocketBase::~TCPSocketBase() {
    close();
}

void TCPSocketBase::close() {
    if (getSocket() != -1) {
        detail::closeSocket(getSocket());
        invalidate();
    }
}

void TCPSocketBase::invalidate() {
    sock_ = -1;
    pending_.clear();
}

TCPAddress TCPSocketBase::getAddress() const {
    return address_;
}

int TCPSocketBase::getSocket() const {
    return sock_;
}

TCPSocketBase& TCPSocketBase::operator=(TCPSocketBase& other) {
    if (this != &other) {
        address_ = other.getAddress();
        sock_ = other.getSocket();
        pending_ = std::move(other.pending_);
        other.invalidate();
    }
    return *this;
}

void TCPSocketBase::write(const std::vector<char>& payload) {
    if (getSocket() == -1)
        throw std::string("Error: Cannot write to invalidated socket");
    const std::string digits = std::to_string(payload.size());
    std::vector<char>& frame = frame_;
    frame.clear();
    frame.reserve(1 + digits.size() + payload.size());
    frame.push_back(static_cast<char>(digits.size()));
    frame.insert(frame.end(), digits.begin(), digits.end());
    frame.insert(frame.end(), payload.begin(), payload.end());
    const long sent = detail::sendBytes(getSocket(), frame.data(), frame.size());
    if (sent < 0 || static_cast<std::size_t>(sent) != frame.size()) {
        close();
        throw message("Error: Problem sending data to server: ", sent);
    }
}

// Each round takes one chunk: the bytes kept from the previous frame when
// there are any, else one receive of up to 1024 bytes. A kept remnant too
// short to hold its header is completed by one receive first, since only the
// split made by this class, not the peer, cut it short.
std::vector<char> TCPSocketBase::read() {
    std::vector<char> result;
    long long expected = 0;
    bool headerRead = false;
    if (getSocket() == -1)
        throw std::string("Error: Cannot read from invalidated socket");

    char buffer[chunkSize];
    std::vector<char> kept;
    for (;;) {
        const char* chunk = buffer;
        std::size_t size = 0;
        kept.clear();
        kept.swap(pending_);
        const bool needMore =
            kept.empty() || (!headerRead && static_cast<long long>(kept.size()) <
                                                static_cast<signed char>(kept[0]) + 1LL);
        if (needMore) {
            const long received = detail::receiveBytes(getSocket(), buffer, chunkSize);
            if (received < 0) {
                close();
                throw message("Error: Problem receiving data from server: ", received);
            }
            if (received == 0)
                return result;
            size = static_cast<std::size_t>(received);
            if (!kept.empty()) {
                kept.insert(kept.end(), buffer, buffer + size);
                chunk = kept.data();
                size = kept.size();
            }
        } else {
            chunk = kept.data();
            size = kept.size();
        }

        std::size_t offset = 0;
        if (!headerRead) {
            offset = parseHeader(chunk, size, expected);
            headerRead = true;
            // Room up front for ordinary messages; an absurd announced length
            // still grows the result only as its bytes arrive.
            result.reserve(static_cast<std::size_t>(std::min(expected, maxReserve)));
        }
        const std::size_t wanted = static_cast<std::size_t>(expected) - result.size();
        const std::size_t available = size - offset;
        const std::size_t taken = available < wanted ? available : wanted;
        result.insert(result.end(), chunk + offset, chunk + offset + taken);
        if (taken < available)
            pending_.assign(chunk + offset + taken, chunk + size);
        if (result.size() == static_cast<std::size_t>(expected))
            return result;
    }
}

TCPSocket::TCPSocket(int sock) : TCPSocketBase(sock) {}

TCPSocket::TCPSocket(TCPSocket& other) : TCPSocketBase(other) {}

TCPSocket::TCPSocket(const TCPAddress& address) : TCPSocketBase(address) {
    if (detail::connectSocket(getSocket(), getAddress().getSockAddr()) < 0) {
        std::ostringstream text;
        text << "Error: Cannot connect() to: " << getAddress().getIPString()
             << " port: " << getAddress().getPort();
        close();
        throw text.str();
    }
}

TCPSocket::~TCPSocket() = default;

TCPSocket& TCPSocket::operator=(TCPSocket& other) {
    TCPSocketBase::operator=(other);
    return *this;
}
