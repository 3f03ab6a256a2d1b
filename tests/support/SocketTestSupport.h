// Small conversions shared by the tests of the framed socket.
#pragma once

#include <chrono>
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

inline TCPAddress loopback(int port) {
    return TCPAddress("127.0.0.1", port);
}

inline void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace vttest
