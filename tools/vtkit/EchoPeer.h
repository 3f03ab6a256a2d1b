// vtkit's framed echo peer on a listening socket: every frame comes back
// unchanged. Each connection is served on a thread of its own, so an idle
// client holds up no other; at most 64 are served at once, later ones wait in
// the listener's queue. An empty frame, or the client closing, ends a
// connection. A client costs the peer at most its largest frame: a longer one
// announced, a failure of its own, or no thread for it to run on closes that
// connection alone, with a line on standard error.
#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vtkit {

class EchoPeer {
public:
    // The largest payload taken by default, in bytes.
    static const long defaultLargestFrame = 1048576;

    // Echoes at most `limit` messages in all (0: no limit) of at most
    // `largestFrame` bytes each on `listener`, which stays the caller's.
    EchoPeer(int listener, long limit, long largestFrame = defaultLargestFrame);
    ~EchoPeer();
    EchoPeer(const EchoPeer&) = delete;
    EchoPeer& operator=(const EchoPeer&) = delete;

    // Serves until the limit is reached, stop() is called, an interrupt comes
    // or accepting fails (then false, see error()); every connection is ended
    // and its thread joined before it returns.
    bool serve();
    // Ends serve() within a tenth of a second; from any thread.
    void stop() { stopping_ = true; }
    long echoed() const;
    const std::string& error() const { return error_; }

private:
    void start(int connection);
    void converse(int connection);
    bool claim();
    void settle(bool echoed);
    void joinFinished();
    void endAll();

    const int listener_;
    const long limit_;
    const long largestFrame_;
    std::atomic<bool> stopping_{false};
    std::string error_;
    std::vector<std::thread> threads_; // the serving thread's own
    mutable std::mutex mutex_;         // guards everything below
    long claimed_ = 0;
    long echoed_ = 0;
    std::set<int> open_;
    std::vector<std::thread::id> finished_;
};

} // namespace vtkit
