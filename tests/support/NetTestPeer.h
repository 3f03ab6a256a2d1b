// The other end of the networking tests: a listening socket on 127.0.0.1 and
// the connections it accepts, written with the OS socket calls directly so that
// the library is checked against an independent implementation. Every wait is
// bounded (waitSeconds), so a faulty library makes a test fail, not hang.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vttest {

constexpr int waitSeconds = 10;

// The std::string that `action` throws, as the networking classes report errors;
// "(nothing thrown)" when it returns.
std::string thrownText(const std::function<void()>& action);

// One accepted connection; closed on destruction.
class PeerConnection {
public:
    PeerConnection() = default;
    explicit PeerConnection(std::intptr_t handle) : its_handle(handle) {}
    PeerConnection(PeerConnection&& other) noexcept;
    PeerConnection& operator=(PeerConnection&&) = delete;
    ~PeerConnection();
    PeerConnection(const PeerConnection&) = delete;
    PeerConnection& operator=(const PeerConnection&) = delete;

    bool isOpen() const { return its_handle != -1; }
    // Sends every byte; false when the connection fails.
    bool send(const std::string& bytes);
    // Up to `count` bytes; fewer when the other side closes or stays silent for the wait.
    std::string receive(std::size_t count);
    // Everything until the other side closes (or stays silent for the wait).
    std::string receiveAll();
    // Whether a receive has seen the other side close its end.
    bool endSeen() const { return its_end_seen; }
    void close();
    // Closes with a reset instead of an orderly end (linger on, time 0).
    void reset();
    // Sends small pieces at once instead of gathering them (no Nagle delay).
    void sendImmediately();

private:
    std::intptr_t its_handle = -1;
    bool its_end_seen = false;
};

// Listens on 127.0.0.1 at a port the system chooses.
class PeerListener {
public:
    PeerListener();
    ~PeerListener();
    PeerListener(const PeerListener&) = delete;
    PeerListener& operator=(const PeerListener&) = delete;

    int port() const { return its_port; }
    // The next connection; not open when nobody connects within the wait.
    PeerConnection accept();

private:
    std::intptr_t its_handle = -1;
    int its_port = 0;
};

// Runs `script` on the next connection of `listener` in a thread of its own
// (on an unopened connection when nobody connects); joined on destruction.
class PeerThread {
public:
    PeerThread(PeerListener& listener, std::function<void(PeerConnection&)> script);
    ~PeerThread();
    PeerThread(const PeerThread&) = delete;
    PeerThread& operator=(const PeerThread&) = delete;
    void join();

private:
    std::thread its_thread;
};

// A frame as the wire carries it, built independently of the library.
std::string frameOf(const std::string& payload);
// The payload of the next frame from `connection`; what arrived when it ends early.
std::string receiveFrame(PeerConnection& connection);

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
int unusedPort();
// The highest number among a few sockets opened at once and closed again. New
// descriptors fill the lowest free numbers, so leaked ones push this up, while
// numbers freed meanwhile (a thread's handle, say) can only lower it.
long long freshDescriptorNumber();
// Descriptors open in this process, or -1 where the system does not count them.
int openDescriptorCount();

// A python3 program started in the background with `arguments`; the destructor
// waits for it to end where the system allows.
class PythonProcess {
public:
    explicit PythonProcess(const std::vector<std::string>& arguments);
    ~PythonProcess();
    PythonProcess(const PythonProcess&) = delete;
    PythonProcess& operator=(const PythonProcess&) = delete;
    bool started() const { return its_started; }

private:
    bool its_started = false;
    std::intptr_t its_process = 0;
};

} // namespace vttest
