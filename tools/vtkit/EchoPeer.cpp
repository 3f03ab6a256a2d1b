#include "EchoPeer.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "Commands.h"
#include "Messages.h"
#include "platform/Interrupts.h"
#include "platform/Listener.h"
#include "vtsupport/net/TCPSocket.h"
#include "vtsupport/net/detail/FrameAssembler.h"

namespace vtkit {

namespace {

const std::size_t maxConnections = 64;
const int waitMilliseconds = 100;

} // namespace

EchoPeer::EchoPeer(int listener, long limit, long largestFrame)
    : listener_(listener), limit_(limit), largestFrame_(largestFrame) {}

EchoPeer::~EchoPeer() {
    endAll();
}

long EchoPeer::echoed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return echoed_;
}

bool EchoPeer::serve() {
    bool accepting = true;
    while (accepting && !stopping_ && platform::interruption() == 0) {
        joinFinished();
        std::unique_lock<std::mutex> lock(mutex_);
        if (open_.size() >= maxConnections) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMilliseconds));
            continue;
        }
        lock.unlock();
        const int connection = platform::acceptConnection(listener_, waitMilliseconds, error_);
        if (connection == -1)
            accepting = false;
        if (connection >= 0)
            start(connection);
    }
    endAll();
    return accepting;
}

// Serves `connection` on a thread of its own; when none can be had, only that
// connection is closed.
void EchoPeer::start(int connection) {
    std::string reason;
    try {
        // Room first: a thread that has started must not be lost to a failed append.
        threads_.reserve(threads_.size() + 1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_.insert(connection);
        }
        threads_.push_back(startThread(&EchoPeer::converse, this, connection));
        return;
    } catch (const Failure& failure) {
        reason = failure.what();
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(connection);
    }
    // Said before it is closed, so that the client learns of nothing sooner.
    printMessage("echo peer: connection closed: " + reason);
    TCPSocketBase(connection).close();
}

void EchoPeer::converse(int connection) {
    TCPSocketBase socket(connection);
    std::vector<char> carried; // bytes of the client's next frame, sent with this one
    const auto receive = [&socket](char* buffer, std::size_t capacity) {
        const long received = platform::receiveSome(socket.getSocket(), buffer, capacity);
        if (received < 0)
            throw "Error: Problem receiving data from server: " + std::to_string(received);
        return static_cast<std::size_t>(received);
    };
    std::string reason;
    try {
        for (;;) {
            const std::vector<char> payload =
                vtsupport::detail::receiveFrame(carried, receive, largestFrame_);
            if (payload.empty() || !claim())
                break;
            try {
                socket.write(payload);
            } catch (...) {
                settle(false);
                throw;
            }
            settle(true);
        }
    } catch (const std::string& error) {
        reason = error;
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    }
    if (!reason.empty() && !stopping_)
        printMessage("echo peer: " + reason);
    // Forgotten before the socket closes it, so stop() never shuts a number
    // that has been closed and perhaps reused.
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(connection);
    finished_.push_back(std::this_thread::get_id());
}

// A message is claimed before it is echoed, so that connections together never
// echo more than the limit.
bool EchoPeer::claim() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || (limit_ != 0 && claimed_ >= limit_))
        return false;
    ++claimed_;
    return true;
}

void EchoPeer::settle(bool echoed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!echoed) {
        --claimed_;
        return;
    }
    ++echoed_;
    if (limit_ != 0 && echoed_ >= limit_)
        stopping_ = true;
}

void EchoPeer::joinFinished() {
    std::vector<std::thread::id> finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished.swap(finished_);
    }
    for (const std::thread::id& id : finished) {
        auto thread = std::find_if(threads_.begin(), threads_.end(),
                                   [&](const std::thread& t) { return t.get_id() == id; });
        if (thread != threads_.end()) {
            thread->join();
            threads_.erase(thread);
        }
    }
}

void EchoPeer::endAll() {
    stopping_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int connection : open_)
            platform::shutdownConnection(connection);
    }
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
}

} // namespace vtkit
