#include "vtsupport/net/TCPAddress.h"

#include <cstring>
#include <map>
#include <sstream>

#include "vtsupport/platform/HostLookup.h"
#include "vtsupport/platform/detail/NetSocket.h"

namespace detail = vtsupport::detail;

TCPAddress::TCPAddress() : port_(0), ip_(detail::parseIPv4("0.0.0.0")) {
    processAddress();
}

TCPAddress::TCPAddress(unsigned long ip, int port)
    : port_(port), ip_(static_cast<std::uint32_t>(ip)) {
    processAddress();
}

TCPAddress::TCPAddress(const std::string& dotted, int port)
    : port_(port), ip_(detail::parseIPv4(dotted)) {
    processAddress();
}

TCPAddress::TCPAddress(const TCPAddress& other) : port_(other.port_), ip_(other.ip_) {
    std::memcpy(sockAddr_, other.sockAddr_, sizeof sockAddr_);
}

TCPAddress& TCPAddress::operator=(const TCPAddress& other) {
    if (this != &other) {
        port_ = other.port_;
        ip_ = other.ip_;
        std::memcpy(sockAddr_, other.sockAddr_, sizeof sockAddr_);
    }
    return *this;
}

unsigned long TCPAddress::getIP() const {
    return ip_;
}

std::string TCPAddress::getIPString() const {
    return detail::formatIPv4(ip_);
}

int TCPAddress::getPort() const {
    return port_;
}

sockaddr_in* TCPAddress::getSockAddr() {
    return reinterpret_cast<sockaddr_in*>(sockAddr_);
}

// The record is filled before the check, so even a rejected address never
// leaves a half-made object behind: the exception means there is no object.
void TCPAddress::processAddress() {
    static_assert(sizeof sockAddr_ == detail::ipv4RecordSize, "room for the whole record");
    detail::fillIPv4Record(sockAddr_, ip_, port_);
    if (ip_ == detail::invalidIPv4) {
        std::ostringstream message;
        message << "Error: Cannot process IP address: " << getIPString();
        throw message.str();
    }
}

namespace {

bool startsWithAsciiLetter(const std::string& text) {
    if (text.empty())
        return false;
    const char first = text[0];
    return (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
}

} // namespace

TCPAddress TCPAddress::resolve(const std::string& host) {
    TCPAddress result("0.0.0.0", 0);
    static std::map<std::string, TCPAddress> cache;
    const auto cached = cache.find(host);
    if (cached != cache.end())
        return cached->second;

    std::uint32_t found = 0;
    const bool known = startsWithAsciiLetter(host)
                           ? hostLookup().byName(host, found)
                           : hostLookup().byAddress(detail::parseIPv4(host), found);
    if (known)
        result = TCPAddress(detail::formatIPv4(found), 0);
    cache.emplace(host, result);
    return result;
}
