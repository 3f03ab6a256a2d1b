#include "vtsupport/net/detail/FrameAssembler.h"

#include <algorithm>
#include <locale>
#include <sstream>
#include <string>
#include <utility>

namespace vtsupport {
namespace detail {

namespace {

// Room reserved up front: ordinary messages fit, while an absurd announced
// length still grows the payload only as its bytes arrive.
constexpr long long maxReserve = 1 << 20;

// True when `size` bytes starting with `first` hold the whole header it announces.
bool holdsHeader(const char* first, std::size_t size) {
    return static_cast<long long>(size) >= static_cast<signed char>(*first) + 1LL;
}

// Reads the header at the start of `chunk` the way a formatted stream extraction
// of an int does, in the classic locale whatever the host's global one; throws the
// header failures, numbers in plain digits. Returns the header's size.
std::size_t parseHeader(const char* chunk, std::size_t size, long long largest, long long& length) {
    if (!holdsHeader(chunk, size))
        throw std::string("Error: TCPSocketBase does not support partial ") + "header sends";
    const int digits = static_cast<signed char>(chunk[0]);
    // Up to nine plain digits, what a writer sends, need no stream.
    int value = 0;
    bool plain = digits > 0 && digits <= 9;
    for (int i = 1; plain && i <= digits; ++i) {
        plain = chunk[i] >= '0' && chunk[i] <= '9';
        value = value * 10 + (chunk[i] - '0');
    }
    if (!plain) {
        const std::string header = digits > 0 ? std::string(chunk + 1, digits) : std::string();
        std::istringstream in(header);
        in.imbue(std::locale::classic());
        value = 0;
        if (!(in >> value))
            throw "Error: Cannot convert to int: " + header;
    }
    if (value < 0)
        throw "Error: Invalid message length: " + std::to_string(value);
    if (value > largest)
        throw "Error: Message length over the limit of " + std::to_string(largest) + ": " +
            std::to_string(value);
    length = value;
    return static_cast<std::size_t>(digits > 0 ? digits : 0) + 1;
}

} // namespace

FrameAssembler::FrameAssembler(std::vector<char>& carried, long long largest)
    : carried_(carried), largest_(largest) {
    remnant_.swap(carried_);
    if (!remnant_.empty() && holdsHeader(remnant_.data(), remnant_.size())) {
        take(remnant_.data(), remnant_.size());
        remnant_.clear();
    }
}

bool FrameAssembler::complete() const {
    return headerRead_ && payload_.size() == static_cast<std::size_t>(expected_);
}

void FrameAssembler::feed(const char* bytes, std::size_t count) {
    if (remnant_.empty()) {
        take(bytes, count);
        return;
    }
    // Only this class's own split, not the peer, cut the carried header short.
    remnant_.insert(remnant_.end(), bytes, bytes + count);
    take(remnant_.data(), remnant_.size());
    remnant_.clear();
}

std::vector<char> FrameAssembler::takePayload() {
    return std::move(payload_);
}

void FrameAssembler::take(const char* chunk, std::size_t size) {
    std::size_t offset = 0;
    if (!headerRead_) {
        offset = parseHeader(chunk, size, largest_, expected_);
        headerRead_ = true;
        payload_.reserve(static_cast<std::size_t>(std::min(expected_, maxReserve)));
    }
    const std::size_t wanted = static_cast<std::size_t>(expected_) - payload_.size();
    const std::size_t available = size - offset;
    const std::size_t taken = std::min(available, wanted);
    payload_.insert(payload_.end(), chunk + offset, chunk + offset + taken);
    if (taken < available)
        carried_.assign(chunk + offset + taken, chunk + size);
}

} // namespace detail
} // namespace vtsupport
