#include "vtsupport/platform/HostLookup.h"

#include "vtsupport/platform/detail/NetSocket.h"
#include "vtsupport/platform/detail/Seam.h"

IHostLookup::~IHostLookup() = default;

namespace {

class NativeHostLookup final : public IHostLookup {
public:
    bool byName(const std::string& name, std::uint32_t& firstAddress) override {
        return vtsupport::detail::lookupHostByName(name, firstAddress);
    }
    bool byAddress(std::uint32_t address, std::uint32_t& firstAddress) override {
        return vtsupport::detail::lookupHostByAddress(address, firstAddress);
    }
};

vtsupport::detail::Seam<IHostLookup, NativeHostLookup> seam;

} // namespace

IHostLookup& hostLookup() {
    return seam.current();
}

void setHostLookup(IHostLookup* lookup) {
    seam.install(lookup);
}
