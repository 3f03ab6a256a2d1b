#include <atomic>
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"
#include "EchoPeer.h"
#include "platform/Interrupts.h"
#include "platform/Listener.h"
#include "vtsupport/net/TCPAddress.h"
#include "vtsupport/net/TCPSocket.h"

namespace vtkit {

namespace {

const Option countOption{"--count", "N",
                         "stop after echoing N messages (default: run until interrupted)"};
const Option largestOption{"--max-frame", "BYTES",
                           "close a client's connection at a frame over BYTES (default " +
                               std::to_string(EchoPeer::defaultLargestFrame) + ")"};
const Option timeoutOption{"--timeout", "SECONDS", "give up after SECONDS (default 10)"};

// HOST itself when it is a dotted address (resolve would take it for a name to
// look up in reverse), else HOST resolved through the library's cache.
TCPAddress endpoint(const std::string& host, int port) {
    try {
        return TCPAddress(host, port);
    } catch (const std::string&) {
    }
    const TCPAddress resolved = TCPAddress::resolve(host);
    if (resolved.getIP() == 0)
        throw Failure(kNetwork, "cannot resolve " + host);
    return TCPAddress(resolved.getIP(), port);
}

// Connects, sends one frame and returns the reply's payload; a Failure or the
// library's std::string on failure.
std::string exchange(const std::string& host, int port, const std::string& text) {
    TCPSocket socket(endpoint(host, port));
    socket.write(std::vector<char>(text.begin(), text.end()));
    const std::vector<char> reply = socket.read();
    return std::string(reply.begin(), reply.end());
}

std::atomic<bool> leftBehind{false};

// The reply to TEXT, or a Failure when none came within `seconds`. The exchange
// runs on a thread of its own, which is left behind when it takes too long:
// blocked in a lookup, connect, send or receive, it cannot be called back, and
// it ends with the process.
std::string exchangeWithin(const std::string& host, int port, const std::string& text,
                           long seconds) {
    std::packaged_task<std::string()> task([=] { return exchange(host, port, text); });
    std::future<std::string> reply = task.get_future();
    startThread(std::move(task)).detach();
    if (reply.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        leftBehind = true;
        throw Failure(kNetwork, "no answer from " + host + ':' + std::to_string(port) + " within " +
                                    std::to_string(seconds) +
                                    (seconds == 1 ? " second" : " seconds"));
    }
    try {
        return reply.get();
    } catch (const std::string& error) {
        throw Failure(kNetwork, error);
    }
}

int frameSend(const ParsedArgs& args) {
    const std::string& host = args.positionals[0];
    const int port = static_cast<int>(parseNumber(args.positionals[1], 1, 65535, "PORT"));
    const long seconds = parseNumber(args.value("--timeout", "10"), 1, 86400, "--timeout");
    std::cout << exchangeWithin(host, port, args.positionals[2], seconds) << '\n';
    return kOk;
}

int frameEcho(const ParsedArgs& args) {
    const int port = static_cast<int>(parseNumber(args.positionals[0], 0, 65535, "PORT"));
    // Without --count the peer serves until interrupted; a count of 0 would be
    // done before it began.
    const long limit = args.values.count("--count") == 0
                           ? 0
                           : parseNumber(args.value("--count", ""), 1, 1000000000L, "--count");
    const long largest =
        parseNumber(args.value("--max-frame", std::to_string(EchoPeer::defaultLargestFrame)), 0,
                    2147483647L, "--max-frame");
    int bound = 0;
    std::string error;
    const int listener = platform::listenLoopback(port, bound, error);
    if (listener < 0)
        throw Failure(kNetwork,
                      "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + error);
    platform::catchInterrupts();
    std::cout << "echo peer listening on 127.0.0.1:" << bound << std::endl;
    EchoPeer peer(listener, limit, largest);
    const bool accepting = peer.serve();
    platform::closeListener(listener);
    const long echoed = peer.echoed();
    std::cout << "echoed " << echoed << " message" << (echoed == 1 ? "" : "s") << std::endl;
    if (!accepting)
        throw Failure(kNetwork, "cannot accept connections: " + peer.error());
    if (limit != 0 && echoed >= limit)
        return kOk;
    // Only an interrupt ends serving otherwise: short of a count, or without one.
    throw Failure(128 + platform::interruption(),
                  "interrupted after " + std::to_string(echoed) +
                      (limit != 0 ? " of " + std::to_string(limit) : std::string()) +
                      (echoed == 1 && limit == 0 ? " message" : " messages"));
}

} // namespace

bool exchangeLeftBehind() {
    return leftBehind;
}

std::vector<Command> frameCommands() {
    return {
        {{"frame send",
          {"HOST", "PORT", "TEXT"},
          {timeoutOption},
          "send TEXT as one frame to HOST:PORT and print the reply"},
         frameSend},
        {{"frame echo",
          {"PORT"},
          {countOption, largestOption},
          "framed echo peer on 127.0.0.1:PORT (0 picks a port)"},
         frameEcho},
    };
}

// The tour's own echo peer on 127.0.0.1, serving one message on a thread.
class TourPeer {
public:
    TourPeer() {
        std::string error;
        listener_ = platform::listenLoopback(0, port_, error);
        if (listener_ < 0)
            throw Failure(kNetwork, "cannot start the echo peer: " + error);
        try {
            peer_.reset(new EchoPeer(listener_, 1));
            serving_ = startThread([this] { peer_->serve(); });
        } catch (...) {
            platform::closeListener(listener_);
            throw;
        }
    }
    // Stopping ends the peer's connections, and so an exchange still waiting for a reply.
    ~TourPeer() {
        peer_->stop();
        serving_.join();
        platform::closeListener(listener_);
    }
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::unique_ptr<EchoPeer> peer_;
    std::thread serving_;
};

void frameTour() {
    const TourPeer peer;
    std::cout << "echo peer on 127.0.0.1:" << peer.port() << " (a thread of this process)\n";
    const std::string text = "hello over a length-prefixed frame";
    const std::string received = exchangeWithin("localhost", peer.port(), text, 10);
    std::cout << "sent:     " << text << '\n' << "received: " << received << '\n';
    // The peer closes a connection that it cannot serve, which reads as an empty reply.
    if (received != text)
        throw Failure(kNetwork, "the echo peer did not send the frame back");
}

} // namespace vtkit
