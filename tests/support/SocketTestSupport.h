// Small conversions shared by the tests of the framed socket.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "vtsupport/net/TCPAddress.h"

namespace vttest {

inline std::vector<char> bytes(const std::string& text) {
    return std::vector<char>(text.begin(), text.end());
}

inline std::string text(const std::vector<char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The byte `count` followed by `rest`, for frames written by hand (malformed ones too).
inline std::string lead(int count, const std::string& rest) {
    return std::string(1, static_cast<char>(count)) + rest;
}

// Every byte value, repeated up to `size` bytes, so that a piece out of place shows.
inline std::string pattern(std::size_t size) {
    std::string result(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        result[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return result;
}

inline TCPAddress loopback(int port) {
    return TCPAddress("127.0.0.1", port);
}

inline void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace vttest
