#include "support/NetPeer.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace vttest {

PeerConnection::PeerConnection(PeerConnection&& other) noexcept
    : its_socket(other.its_socket), its_end_seen(other.its_end_seen) {
    other.its_socket = -1;
}

void PeerConnection::close(bool reset) {
    if (its_socket != -1)
        closeSocket(its_socket, reset);
    its_socket = -1;
}

bool PeerConnection::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const long sent = sendSome(its_socket, bytes.data() + done, bytes.size() - done);
        if (sent <= 0)
            return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::string PeerConnection::receive(std::size_t count) {
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < count && readable(its_socket, waitSeconds)) {
        const long got =
            receiveSome(its_socket, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got <= 0) {
            its_end_seen = got == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

PeerListener::PeerListener() : its_socket(listenOnLoopback(its_port)) {
    if (its_socket == -1)
        throw std::runtime_error("cannot listen on 127.0.0.1");
}

PeerConnection PeerListener::accept() {
    return PeerConnection(readable(its_socket, waitSeconds) ? acceptConnection(its_socket) : -1);
}

PeerThread::PeerThread(PeerListener& listener, std::function<void(PeerConnection&)> script)
    : its_thread([&listener, script] {
          PeerConnection connection = listener.accept();
          script(connection);
      }) {}

std::string frameOf(const std::string& payload) {
    const std::string digits = std::to_string(payload.size());
    return std::string(1, static_cast<char>(digits.size())) + digits + payload;
}

std::string receiveFrame(PeerConnection& connection) {
    const std::string count = connection.receive(1);
    if (count.empty())
        return std::string();
    const std::string digits = connection.receive(static_cast<unsigned char>(count[0]));
    return connection.receive(static_cast<std::size_t>(std::atol(digits.c_str())));
}

int unusedPort() {
    return PeerListener().port();
}

} // namespace vttest
