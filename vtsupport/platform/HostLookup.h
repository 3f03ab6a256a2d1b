/// @file
/// The host-lookup seam behind TCPAddress::resolve.
#pragma once

#include <cstdint>
#include <string>

#include "vtsupport/Export.h"

/// Host-name and address lookups.
///
/// TCPAddress::resolve asks hostLookup() for every text it has not seen
/// before; the native lookup asks the OS resolver. Embedders and tests may
/// install their own (for instance a fake that counts the questions); the
/// installed object stays the caller's and must outlive its use.
class VTSUPPORT_API IHostLookup {
public:
    /// Destroys the lookup.
    virtual ~IHostLookup();
    /// Forward lookup of `name`; true and the first address (network byte
    /// order) in `firstAddress` when found.
    virtual bool byName(const std::string& name, std::uint32_t& firstAddress) = 0;
    /// Reverse lookup of the IPv4 `address` (network byte order); true and the
    /// entry's first address in `firstAddress` when found.
    virtual bool byAddress(std::uint32_t address, std::uint32_t& firstAddress) = 0;
};

/// The lookup in use: the one installed last, or the native one.
VTSUPPORT_API IHostLookup& hostLookup();
/// Installs `lookup` (not owned); nullptr restores the native one.
VTSUPPORT_API void setHostLookup(IHostLookup* lookup);
