// FrameAssembler puts one frame back together from the chunks received for it;
// it owns no socket. A frame is one byte L with the number of digits, L ASCII
// digits with the payload length N, then the N payload bytes. The header must
// lie whole in the first chunk of the frame, except that the bytes carried over
// from the previous frame may be completed by one more chunk; bytes past the
// end of the frame go back to the carried-over store for the next frame.
//
// A header that cannot be used throws the socket's message as a std::string
// ("Error: TCPSocketBase does not support partial header sends", "Error: Cannot
// convert to int: " and the header text, "Error: Invalid message length: " and
// the number); the assembler is then spent and the frame's bytes are dropped.
// A receiver that bounds its memory names the largest length it takes: a longer
// one throws "Error: Message length over the limit of " the limit, ": " and the
// number, before any of its payload is kept.
#pragma once

#include <cstddef>
#include <vector>

namespace vtsupport {
namespace detail {

class FrameAssembler {
public:
    // Bytes asked of each receive.
    static constexpr std::size_t chunkSize = 1024;
    // The longest payload a header can announce.
    static constexpr long long anyLength = 2147483647;

    // Starts a frame from the bytes `carried` over from the previous one, which
    // it takes (leaving `carried` empty) and keeps referring to for the surplus.
    // Throws the header failures when those bytes hold a whole, unusable header.
    explicit FrameAssembler(std::vector<char>& carried, long long largest = anyLength);
    FrameAssembler(const FrameAssembler&) = delete;
    FrameAssembler& operator=(const FrameAssembler&) = delete;

    // True once the header is read and the payload is whole.
    bool complete() const;
    // Takes one received chunk of `count` bytes (at least 1), in one piece.
    void feed(const char* bytes, std::size_t count);
    // The payload: whole once complete(), otherwise what has arrived so far.
    std::vector<char> takePayload();

private:
    void take(const char* chunk, std::size_t size);

    std::vector<char>& carried_;
    const long long largest_;
    // Carried bytes too short for their header, waiting for one more chunk.
    std::vector<char> remnant_;
    std::vector<char> payload_;
    long long expected_ = 0;
    bool headerRead_ = false;
};

// The receive loop of one frame: `receive(buffer, capacity)` returns the count of
// bytes it put there (at least 1), or 0 when the peer has ended, and throws its
// own failures. Returns the payload, cut short when the peer ended first.
template <typename Receive>
std::vector<char> receiveFrame(std::vector<char>& carried, Receive receive,
                               long long largest = FrameAssembler::anyLength) {
    FrameAssembler frame(carried, largest);
    char buffer[FrameAssembler::chunkSize];
    while (!frame.complete()) {
        const std::size_t received = receive(buffer, FrameAssembler::chunkSize);
        if (received == 0)
            break;
        frame.feed(buffer, received);
    }
    return frame.takePayload();
}

} // namespace detail
} // namespace vtsupport
