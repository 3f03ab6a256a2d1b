#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"
#include "platform/Listener.h"
#include "vtsupport/net/TCPAddress.h"
#include "vtsupport/net/TCPSocket.h"

namespace vtkit {

namespace {

const Option countOption{"--count", "N",
                         "stop after echoing N messages (default: run until killed)"};

std::vector<char> bytesOf(const std::string& text) {
    return std::vector<char>(text.begin(), text.end());
}

// Serves one connection: every frame comes back unchanged. An empty read is a
// closed peer (or an empty frame, which ends the conversation the same way).
// Returns the number of messages echoed; stops early when `limit` is reached.
long echoConnection(int descriptor, long limit, long echoed) {
    TCPSocketBase connection(descriptor);
    try {
        while (limit == 0 || echoed < limit) {
            const std::vector<char> payload = connection.read();
            if (payload.empty())
                break;
            connection.write(payload);
            ++echoed;
        }
    } catch (const std::string& error) {
        std::cerr << "vtkit: echo peer: " << error << '\n';
    }
    return echoed;
}

int frameEcho(const ParsedArgs& args) {
    const int port = static_cast<int>(parseNumber(args.positionals[0], 0, 65535, "PORT"));
    const long limit = parseNumber(args.value("--count", "0"), 0, 1000000000L, "--count");
    int bound = 0;
    std::string error;
    const int listener = platform::listenLoopback(port, bound, error);
    if (listener < 0) {
        std::cerr << "vtkit: cannot listen on 127.0.0.1:" << port << ": " << error << '\n';
        return kNetwork;
    }
    std::cout << "echo peer listening on 127.0.0.1:" << bound << std::endl;
    long echoed = 0;
    while (limit == 0 || echoed < limit) {
        const int descriptor = platform::acceptConnection(listener);
        if (descriptor < 0)
            break;
        echoed = echoConnection(descriptor, limit, echoed);
    }
    platform::closeListener(listener);
    std::cout << "echoed " << echoed << " message" << (echoed == 1 ? "" : "s") << '\n';
    return kOk;
}

// Resolves, connects, sends one frame and returns the reply's payload.
std::string roundTrip(const std::string& host, int port, const std::string& text) {
    const TCPAddress resolved = TCPAddress::resolve(host);
    if (resolved.getIP() == 0)
        throw std::string("Error: cannot resolve ") + host;
    TCPSocket socket(TCPAddress(resolved.getIP(), port));
    socket.write(bytesOf(text));
    const std::vector<char> reply = socket.read();
    return std::string(reply.begin(), reply.end());
}

int frameSend(const ParsedArgs& args) {
    const int port = static_cast<int>(parseNumber(args.positionals[1], 1, 65535, "PORT"));
    try {
        std::cout << roundTrip(args.positionals[0], port, args.positionals[2]) << '\n';
        return kOk;
    } catch (const std::string& error) {
        std::cerr << "vtkit: " << error << '\n';
        return kNetwork;
    }
}

} // namespace

std::vector<Command> frameCommands() {
    return {
        {{"frame send",
          {"HOST", "PORT", "TEXT"},
          {},
          "send TEXT as one frame to HOST:PORT and print the reply"},
         frameSend},
        {{"frame echo",
          {"PORT"},
          {countOption},
          "framed echo peer on 127.0.0.1:PORT (0 picks a port)"},
         frameEcho},
    };
}

int frameTour() {
    int bound = 0;
    std::string error;
    const int listener = platform::listenLoopback(0, bound, error);
    if (listener < 0) {
        std::cout << "cannot start the echo peer: " << error << '\n';
        return kNetwork;
    }
    std::cout << "echo peer on 127.0.0.1:" << bound << " (a thread of this process)\n";
    std::thread peer([listener] {
        const int descriptor = platform::acceptConnection(listener);
        if (descriptor >= 0)
            echoConnection(descriptor, 1, 0);
    });
    const std::string text = "hello over a length-prefixed frame";
    int status = kOk;
    try {
        std::cout << "sent:     " << text << '\n'
                  << "received: " << roundTrip("localhost", bound, text) << '\n';
    } catch (const std::string& failure) {
        std::cout << failure << '\n';
        status = kNetwork;
    }
    peer.join();
    platform::closeListener(listener);
    return status;
}

} // namespace vtkit
