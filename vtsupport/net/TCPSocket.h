/// @file
/// The framed TCP client: TCPSocketBase owns a descriptor and exchanges whole
/// messages over it; TCPSocket is the connecting client.
#pragma once

#include <vector>

#include "vtsupport/Export.h"
#include "vtsupport/net/TCPAddress.h"

/// One TCP descriptor with the endpoint it belongs to, exchanging whole
/// messages in a length-prefixed frame.
///
/// A frame is one byte giving the number of digits, that many ASCII decimal
/// digits giving the payload length, then the payload (an empty payload is the
/// two bytes 01 30). write() sends one frame; read() returns the payload of the
/// next frame. Bytes that arrive beyond a frame are kept for the next read(),
/// so frames may follow one another back to back.
///
/// Ownership of the descriptor is exclusive: copying or assigning moves it and
/// leaves the source invalidated (descriptor -1), and the owner closes it when
/// destroyed. Assigning over an object that holds a descriptor does not close
/// that descriptor: close() it first, or it stays open unowned. Failures throw a `std::string`
/// beginning with "Error: ". Calls block without a time limit; one thread at a time per object. The
/// layout and the order of the virtual functions are part of the binary interface; the operations
/// call getSocket(), invalidate() and close() virtually, so a derived class that overrides them
/// changes what read(), write() and close() do.
class VTSUPPORT_API TCPSocketBase {
public:
    /// Takes over the descriptor `sock`; the address is 0.0.0.0 with port -1.
    explicit TCPSocketBase(int sock);
    /// Takes the address and descriptor of `other` and invalidates it.
    TCPSocketBase(TCPSocketBase& other);
    /// Creates an unconnected descriptor for `address`; throws
    /// "Error: Cannot open socket at: <address> on port: <port>" when none can be made.
    explicit TCPSocketBase(const TCPAddress& address);

    /// Closes the descriptor if one is held.
    virtual ~TCPSocketBase();
    /// Closes the descriptor if one is held and invalidates the object; may be
    /// called any number of times.
    virtual void close();
    /// The payload of the next frame; when the peer closes early, what has
    /// arrived of it. Throws an "Error: " text when the socket is invalidated,
    /// receiving fails or the header is malformed ("Error: Invalid message
    /// length: " and the number for a negative length). The header must arrive
    /// whole in the first chunk received: a header split across two segments
    /// throws "Error: TCPSocketBase does not support partial header sends", and
    /// the stream does not recover (the rest of that frame is read as the next
    /// one). Waits as long as a silent peer keeps the connection open.
    virtual std::vector<char> read();
    /// Forgets the descriptor without closing it (it has gone to another owner).
    virtual void invalidate();
    /// Sends `payload` as one frame; throws an "Error: " text when sending fails
    /// or the socket is invalidated.
    virtual void write(const std::vector<char>& payload);
    /// A copy of the endpoint.
    virtual TCPAddress getAddress() const;
    /// The descriptor, -1 when the object holds none.
    virtual int getSocket() const;
    /// Takes the address and descriptor of `other` and invalidates it. The
    /// descriptor held before is not closed: close it first. Assigning an
    /// object to itself changes nothing.
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

/// The client: constructed from an address, it is a live connection.
///
/// A constructor that returns means the connection was made; checking whether
/// an endpoint accepts connections is constructing one inside a handler.
/// @code
/// TCPSocket socket(TCPAddress("127.0.0.1", 5000));
/// socket.write(std::vector<char>{'h', 'i'});
/// std::vector<char> reply = socket.read();
/// @endcode
class VTSUPPORT_API TCPSocket : public TCPSocketBase {
public:
    /// Takes over the descriptor `sock`; the address is 0.0.0.0 with port -1.
    explicit TCPSocket(int sock);
    /// Takes the address and descriptor of `other` and invalidates it.
    TCPSocket(TCPSocket& other);
    /// Creates a descriptor and connects it to `address`; throws
    /// "Error: Cannot connect() to: <address> port: <port>" (after closing the
    /// descriptor) when the connection fails.
    explicit TCPSocket(const TCPAddress& address);
    /// Closes the descriptor if one is held.
    ~TCPSocket() override;
    using TCPSocketBase::operator=;
    /// Takes the address and descriptor of `other` as TCPSocketBase::operator= does.
    TCPSocket& operator=(TCPSocket& other);
};
