// TCPSocketBase owns one TCP descriptor with the endpoint it belongs to and
// exchanges whole messages over it. A frame is one byte giving the number of
// digits, that many ASCII decimal digits giving the payload length, then the
// payload. write() sends one frame in one send call; read() returns the payload
// of the next frame. Bytes that arrive beyond a frame are kept for the next
// read(), so frames may follow one another back to back.
//
// Ownership of the descriptor is exclusive: copying or assigning moves it and
// leaves the source invalidated (descriptor -1), and the owner closes it when
// destroyed. Failures throw a std::string beginning with "Error: ". Calls block
// without a time limit; one thread at a time per object.
//
// TCPSocket is the client: constructed from an address it is a live connection.
#pragma once

#include <vector>

#include "vtsupport/Export.h"
#include "vtsupport/net/TCPAddress.h"

class VTSUPPORT_API TCPSocketBase {
public:
    // Takes over `sock`; the address is 0.0.0.0 with port -1.
    explicit TCPSocketBase(int sock);
    // Takes the descriptor of `other` and invalidates it.
    TCPSocketBase(TCPSocketBase& other);
    // Creates an unconnected descriptor for `address`.
    explicit TCPSocketBase(const TCPAddress& address);

    virtual ~TCPSocketBase();
    // Closes the descriptor if one is held; may be called any number of times.
    virtual void close();
    // The payload of the next frame; what has arrived when the peer closes early.
    virtual std::vector<char> read();
    // Forgets the descriptor without closing it.
    virtual void invalidate();
    virtual void write(const std::vector<char>& payload);
    virtual TCPAddress getAddress() const;
    virtual int getSocket() const;
    // Takes the descriptor of `other`; the one held before is not closed.
    virtual TCPSocketBase& operator=(TCPSocketBase& other);

private:
    TCPAddress address_;
    int sock_;
    // Bytes received past the end of the last frame, the start of the next.
    std::vector<char> pending_;
    // Where write() joins a frame on systems that cannot send header and
    // payload in one call from two places; kept for its capacity, so that a
    // stream of messages costs no allocation per message.
    std::vector<char> frame_;
};

class VTSUPPORT_API TCPSocket : public TCPSocketBase {
public:
    explicit TCPSocket(int sock);
    TCPSocket(TCPSocket& other);
    // Creates a descriptor and connects it to `address`.
    explicit TCPSocket(const TCPAddress& address);
    ~TCPSocket() override;
    // Both move the descriptor as the base class does.
    using TCPSocketBase::operator=;
    TCPSocket& operator=(TCPSocket& other);
};
