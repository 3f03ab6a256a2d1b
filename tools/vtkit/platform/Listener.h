// The listening half that vtkit's echo peer needs and the library does not
// offer (it is a client): a socket listening on 127.0.0.1, and accepting from
// it. Descriptors are ints, -1 for none, as in the library; an accepted one is
// handed to a TCPSocketBase, which then owns it.
#pragma once

#include <cstddef>
#include <string>

namespace vtkit {
namespace platform {

// Listens on 127.0.0.1:port (0 picks a free port); -1 and `error` on failure.
// `boundPort` receives the port actually bound.
int listenLoopback(int port, int& boundPort, std::string& error);
// The next connection; -2 when none came within `milliseconds` (or an interrupt
// came first), -1 and `error` on failure. Running out of descriptors or memory
// is not a failure: it waits those milliseconds and answers -2, and the client
// waits in the queue until some are free again.
int acceptConnection(int listener, int milliseconds, std::string& error);
// Bytes received from an accepted connection into `buffer`, 0 once the client
// has closed its side, or the negative result of the failed receive.
long receiveSome(int connection, char* buffer, std::size_t size);
void closeListener(int listener);
// Ends both directions of an accepted connection without closing it, so that
// a thread blocked on it returns; its owner still closes it.
void shutdownConnection(int connection);

} // namespace platform
} // namespace vtkit
