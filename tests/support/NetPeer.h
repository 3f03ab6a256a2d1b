// The other end of the networking tests: a listener on 127.0.0.1 and the
// connections it accepts, on the OS socket calls directly, so the library is
// checked against an independent implementation. Every wait is bounded
// (waitSeconds): a faulty library makes a test fail, not hang.
#pragma once

#include <functional>
#include <string>
#include <thread>

#include "support/platform/TestPlatform.h"

namespace vttest {

constexpr int waitSeconds = 10;

// One accepted connection; closed on destruction.
class PeerConnection {
public:
    explicit PeerConnection(Socket the_socket = -1) : its_socket(the_socket) {}
    PeerConnection(PeerConnection&& other) noexcept;
    ~PeerConnection() { close(); }
    PeerConnection& operator=(PeerConnection&&) = delete;

    bool isOpen() const { return its_socket != -1; }
    // Sends every byte; false when the connection fails.
    bool send(const std::string& bytes);
    // Up to `count` bytes; fewer when the other side ends or stays silent for the wait.
    std::string receive(std::size_t count);
    std::string receiveAll() { return receive(std::string::npos); }
    // Whether a receive has met the other side's orderly end.
    bool endSeen() const { return its_end_seen; }
    void close(bool reset = false);
    void sendImmediately() { vttest::sendImmediately(its_socket); }

private:
    Socket its_socket;
    bool its_end_seen = false;
};

class PeerListener {
public:
    PeerListener();
    ~PeerListener() { closeSocket(its_socket, false); }
    PeerListener(const PeerListener&) = delete;
    PeerListener& operator=(const PeerListener&) = delete;
    int port() const { return its_port; }
    // The next connection; not open when nobody connects within the wait.
    PeerConnection accept();

private:
    int its_port = 0;
    Socket its_socket;
};

// Runs `script` on the next connection of `listener` on a thread of its own; joined on destruction.
class PeerThread {
public:
    PeerThread(PeerListener& listener, std::function<void(PeerConnection&)> script);
    ~PeerThread() { join(); }
    void join() {
        if (its_thread.joinable())
            its_thread.join();
    }

private:
    std::thread its_thread;
};

// A frame as the wire carries it, built independently of the library.
std::string frameOf(const std::string& payload);
// The payload of the next frame; what arrived when the connection ends early.
std::string receiveFrame(PeerConnection& connection);
// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
int unusedPort();

} // namespace vttest
