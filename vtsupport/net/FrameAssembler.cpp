#include "vtsupport/net/detail/FrameAssembler.h"

#include <algorithm>
#include <climits>
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

// Reads a count the way a formatted extraction of an int does in the classic
// locale, whatever the host's global one: blanks, a sign, then digits as far as
// they go. False when no digit comes or the value does not fit an int.
bool extractInt(const char* text, const char* end, int& value) {
    while (text != end && (*text == ' ' || (*text >= '\t' && *text <= '\r')))
        ++text;
    const bool negative = text != end && *text == '-';
    if (text != end && (*text == '+' || *text == '-'))
        ++text;
    const char* const digits = text;
    long long magnitude = 0; // held below 2^32, far from overflowing
    for (; text != end && *text >= '0' && *text <= '9'; ++text)
        magnitude = std::min(magnitude * 10 + (*text - '0'), 1LL << 32);
    const long long signedValue = negative ? -magnitude : magnitude;
    if (text == digits || signedValue < INT_MIN || signedValue > INT_MAX)
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

// Reads the header at the start of `chunk`; throws the header failures, numbers
// in plain digits. Returns the header's size.
std::size_t parseHeader(const char* chunk, std::size_t size, long long largest, long long& length) {
    if (!holdsHeader(chunk, size))
        throw std::string("Error: TCPSocketBase does not support partial ") + "header sends";
    const int digits = static_cast<signed char>(chunk[0]);
    const char* const header = chunk + 1;
    const char* const headerEnd = header + std::max(digits, 0);
    int value = 0;
    if (!extractInt(header, headerEnd, value))
        throw "Error: Cannot convert to int: " + std::string(header, headerEnd);
    if (value < 0)
        throw "Error: Invalid message length: " + std::to_string(value);
    if (value > largest)
        throw "Error: Message length over the limit of " + std::to_string(largest) + ": " +
            std::to_string(value);
    length = value;
    return static_cast<std::size_t>(headerEnd - chunk);
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
    carried_.assign(chunk + offset + taken, chunk + size); // the next frame's bytes, if any
}

} // namespace detail
} // namespace vtsupport
