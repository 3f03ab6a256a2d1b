// Round trips of framed messages over loopback: the library's TCPSocket
// against the same bytes moved with plain socket calls. The peer is a thread
// of this program that echoes each frame back as it came. Native builds only.
#include "vtsupport/net/TCPSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

bool receiveExactly(int socket, char* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::recv(socket, buffer + done, count - done, 0);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool sendExactly(int socket, const char* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t sent = ::send(socket, bytes + done, count - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Accepts one connection on 127.0.0.1 and echoes whole frames until it closes.
class EchoPeer {
public:
    EchoPeer() {
        its_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(its_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(its_listener, reinterpret_cast<sockaddr*>(&address), &length);
        ::listen(its_listener, 1);
        its_port = ntohs(address.sin_port);
        its_thread = std::thread([this] { serve(); });
    }
    ~EchoPeer() {
        its_thread.join();
        ::close(its_listener);
    }
    int port() const { return its_port; }

private:
    void serve() {
        const int connection = ::accept(its_listener, nullptr, nullptr);
        const int on = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::vector<char> frame(16);
        while (receiveExactly(connection, frame.data(), 1)) {
            const std::size_t digits = static_cast<unsigned char>(frame[0]);
            if (!receiveExactly(connection, frame.data() + 1, digits))
                break;
            const std::size_t length = std::stoul(std::string(frame.data() + 1, digits));
            frame.resize(1 + digits + length);
            if (!receiveExactly(connection, frame.data() + 1 + digits, length) ||
                !sendExactly(connection, frame.data(), frame.size()))
                break;
        }
        ::close(connection);
    }

    int its_listener = -1;
    int its_port = 0;
    std::thread its_thread;
};

void framedRoundTrip(benchmark::State& state) {
    EchoPeer peer;
    TCPSocket client(TCPAddress("127.0.0.1", peer.port()));
    const std::vector<char> payload(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        client.write(payload);
        std::vector<char> answer = client.read();
        benchmark::DoNotOptimize(answer.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(2 * state.iterations() * state.range(0));
}

// The baseline: the same frame, built once, leaves in one send, and the
// answer comes back through receives of 1024 bytes at a time, the pattern the
// library's read uses, with only the header parsed and the payload bytes
// counted, not kept. The difference to framedRoundTrip is the library's own
// work: building the frame, growing the result and the bookkeeping between.
void rawRoundTrip(benchmark::State& state) {
    EchoPeer peer;
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(peer.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        state.SkipWithError("cannot connect to the peer");
        return;
    }
    const std::string digits = std::to_string(state.range(0));
    std::string frame(1, static_cast<char>(digits.size()));
    frame += digits + std::string(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        if (::send(client, frame.data(), frame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(frame.size())) {
            state.SkipWithError("short send");
            break;
        }
        char chunk[1024];
        std::size_t expected = 0;
        std::size_t received = 0;
        bool header = false;
        for (;;) {
            const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            std::size_t offset = 0;
            if (!header) {
                offset = 1 + static_cast<unsigned char>(chunk[0]);
                expected = std::stoul(std::string(chunk + 1, offset - 1));
                header = true;
            }
            received += static_cast<std::size_t>(got) - offset;
            if (received == expected)
                break;
        }
        benchmark::DoNotOptimize(received);
    }
    ::close(client);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(2 * state.iterations() * state.range(0));
}

// Alternating, so that both see the same load of the machine.
BENCHMARK(rawRoundTrip)->Arg(100)->UseRealTime();
BENCHMARK(framedRoundTrip)->Arg(100)->UseRealTime();
BENCHMARK(rawRoundTrip)->Arg(64 * 1024)->UseRealTime();
BENCHMARK(framedRoundTrip)->Arg(64 * 1024)->UseRealTime();
BENCHMARK(rawRoundTrip)->Arg(1024 * 1024)->UseRealTime();
BENCHMARK(framedRoundTrip)->Arg(1024 * 1024)->UseRealTime();

} // namespace
