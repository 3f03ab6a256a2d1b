// The host-lookup seam. TCPAddress::resolve asks hostLookup() for every text
// it has not seen before; the native lookup asks the OS resolver. Embedders and
// tests may install their own (for instance a fake that counts the questions);
// the installed object stays the caller's and must outlive its use.
#pragma once

#include <cstdint>
#include <string>

#include "vtsupport/Export.h"

class VTSUPPORT_API IHostLookup {
public:
    virtual ~IHostLookup();
    // Forward lookup of a name; true and the first address (network byte order) when found.
    virtual bool byName(const std::string& name, std::uint32_t& firstAddress) = 0;
    // Reverse lookup of an IPv4 address (network byte order); true and the entry's first
    // address when found.
    virtual bool byAddress(std::uint32_t address, std::uint32_t& firstAddress) = 0;
};

// The lookup in use: the one installed last, or the native one.
VTSUPPORT_API IHostLookup& hostLookup();
// Installs `lookup`; nullptr restores the native one.
VTSUPPORT_API void setHostLookup(IHostLookup* lookup);
