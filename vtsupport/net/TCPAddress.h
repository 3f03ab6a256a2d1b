// TCPAddress: an IPv4 endpoint value. It keeps the address (network byte
// order), the port exactly as given, and the OS socket address record for the
// pair, ready for connect. Every constructor rejects the all-ones address
// (255.255.255.255, which is also what non-address text converts to) by
// throwing a std::string beginning with "Error: ". resolve() turns host texts
// into addresses through a process-wide cache that is never flushed; it must be
// called from one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "vtsupport/Export.h"

struct sockaddr_in;

class VTSUPPORT_API TCPAddress {
public:
    // 0.0.0.0, port 0.
    TCPAddress();
    // `ip` in network byte order, taken unchanged.
    TCPAddress(unsigned long ip, int port);
    // Numeric dotted text only; a host name throws.
    TCPAddress(const std::string& dotted, int port);
    TCPAddress(const TCPAddress& other);
    TCPAddress& operator=(const TCPAddress& other);

    unsigned long getIP() const;
    std::string getIPString() const;
    int getPort() const;
    // The record inside this object (16 bytes), valid as long as the object.
    virtual sockaddr_in* getSockAddr();

    // The address of `host` with port 0: a forward lookup when the text starts
    // with an ASCII letter, otherwise a reverse lookup of its numeric value.
    // Every answer, "0.0.0.0" for a failure included, is cached by exact text.
    static TCPAddress resolve(const std::string& host);

private:
    void processAddress();

    int port_;
    std::uint32_t ip_;
    alignas(4) unsigned char sockAddr_[16];
};
