/// @file
/// TCPAddress, an IPv4 endpoint value, with the process-wide resolution cache.
#pragma once

#include <cstdint>
#include <string>

#include "vtsupport/Export.h"

struct sockaddr_in;

/// An IPv4 endpoint: the address (network byte order), the port exactly as
/// given, and the OS socket address record for the pair, ready for `connect`.
///
/// Every constructor rejects the all-ones address (255.255.255.255, which is
/// also what non-address text converts to) by throwing a `std::string`
/// beginning with "Error: ". There are no comparison operators: compare the
/// texts of getIPString(). The layout (port, address, record) and the one
/// virtual function are part of the binary interface.
/// @code
/// TCPAddress peer(TCPAddress::resolve("localhost").getIP(), 5000);
/// TCPSocket socket(peer);
/// @endcode
class VTSUPPORT_API TCPAddress {
public:
    /// 0.0.0.0, port 0.
    TCPAddress();
    /// `ip` in network byte order and `port` (no range check). Only the low 32
    /// bits of `ip` are kept where `unsigned long` is wider.
    TCPAddress(unsigned long ip, int port);
    /// Numeric dotted text only ("127.0.0.1"); a host name throws. The text is
    /// read up to its first NUL character.
    TCPAddress(const std::string& dotted, int port);
    /// Copies address, port and record.
    TCPAddress(const TCPAddress& other);
    /// Copies address, port and record; assignment to itself changes nothing.
    TCPAddress& operator=(const TCPAddress& other);

    /// The address in network byte order.
    unsigned long getIP() const;
    /// The address as dotted decimal text, for instance "0.0.0.0".
    std::string getIPString() const;
    /// The port exactly as the constructor received it.
    int getPort() const;
    /// The record inside this object (16 bytes), valid as long as the object.
    virtual sockaddr_in* getSockAddr();

    /// The address of `host` with port 0: a forward lookup when the text starts
    /// with an ASCII letter, otherwise a reverse lookup of its numeric value.
    /// Every answer, "0.0.0.0" for a failure included, is cached by exact
    /// (case-sensitive) text for the life of the process and never refreshed.
    /// Lookups go through hostLookup(). Call it from one thread at a time. The
    /// cache grows by one entry per distinct text and is never emptied, so a
    /// process resolving names it does not control should bound them itself.
    static TCPAddress resolve(const std::string& host);

private:
    void processAddress();

    int port_;
    std::uint32_t ip_;
    alignas(4) unsigned char sockAddr_[16];
};
