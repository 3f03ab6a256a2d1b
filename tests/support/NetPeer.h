// The other end of the networking tests, on the OS socket calls directly, so that the library is
// checked against an independent implementation. Every wait is bounded (waitSeconds): a faulty
// library makes a test fail, not hang.
#pragma once

#include <cstdint>
#include <string>

namespace vttest {
constexpr int waitSeconds = 10;
// One accepted connection; closed on destruction.
class PeerConnection {
public:
    explicit PeerConnection(std::intptr_t the_socket = -1) : its_socket(the_socket) {}
    PeerConnection(const PeerConnection&) = delete; // returned by value only
    ~PeerConnection() { close(); }
    // Sends every byte; false when the connection fails.
    bool send(const std::string& bytes);
    // Up to `count` bytes; fewer when the other side ends (endSeen) or stays silent.
    std::string receive(std::size_t count);
    bool endSeen() const { return its_end_seen; }
    void close();

private:
    std::intptr_t its_socket;
    bool its_end_seen = false;
};
class PeerListener {
public:
    // With `queueOfOne`, a second connection not yet accepted waits in connect.
    explicit PeerListener(bool queueOfOne = false);
    ~PeerListener() { PeerConnection closing(its_socket); }
    PeerListener(const PeerListener&) = delete;
    PeerListener& operator=(const PeerListener&) = delete;
    int port() const { return its_port; }
    // The next connection; not open when nobody connects within the wait.
    PeerConnection accept();
    // Fills a queue of one with a connection that nobody waits for, open while the result lives:
    // the next connect waits.
    PeerConnection fillQueue();

private:
    std::intptr_t its_socket;
    int its_port = 0;
};
// A frame as the wire carries it, built independently of the library.
std::string frameOf(const std::string& payload);
// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
int unusedPort();
} // namespace vttest
