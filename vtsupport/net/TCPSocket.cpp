#include "vtsupport/net/TCPSocket.h"

#include <cstddef>
#include <string>
#include <utility>

#include "vtsupport/net/detail/FrameAssembler.h"
#include "vtsupport/platform/detail/NetSocket.h"

namespace detail = vtsupport::detail;

namespace {

// Numbers in messages are plain digits whatever the host's global locale.
std::string message(const std::string& prefix, long long value) {
    return prefix + std::to_string(value);
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
        throw message("Error: Cannot open socket at: " + address_.getIPString() + " on port: ",
                      address_.getPort());
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
    char header[1 + 20];
    header[0] = static_cast<char>(digits.size());
    digits.copy(header + 1, digits.size());
    const std::size_t headerLength = 1 + digits.size();
    const long sent = detail::sendFrame(getSocket(), header, headerLength, payload, frame_);
    if (sent < 0 || static_cast<std::size_t>(sent) != headerLength + payload.size()) {
        close();
        throw message("Error: Problem sending data to server: ", sent);
    }
}

// The bytes kept from the previous frame come first, then one receive of 1024
// bytes at a time, each chunk taken by the assembler in one piece.
std::vector<char> TCPSocketBase::read() {
    if (getSocket() == -1)
        throw std::string("Error: Cannot read from invalidated socket");
    return detail::receiveFrame(pending_, [this](char* buffer, std::size_t capacity) {
        const long received = detail::receiveBytes(getSocket(), buffer, capacity);
        if (received < 0) {
            close();
            throw message("Error: Problem receiving data from server: ", received);
        }
        return static_cast<std::size_t>(received);
    });
}

TCPSocket::TCPSocket(int sock) : TCPSocketBase(sock) {}

TCPSocket::TCPSocket(TCPSocket& other) : TCPSocketBase(other) {}

TCPSocket::TCPSocket(const TCPAddress& address) : TCPSocketBase(address) {
    if (detail::connectSocket(getSocket(), getAddress().getSockAddr()) < 0) {
        const std::string text =
            message("Error: Cannot connect() to: " + getAddress().getIPString() + " port: ",
                    getAddress().getPort());
        close();
        throw text;
    }
}

TCPSocket::~TCPSocket() = default;

TCPSocket& TCPSocket::operator=(TCPSocket& other) {
    TCPSocketBase::operator=(other);
    return *this;
}
