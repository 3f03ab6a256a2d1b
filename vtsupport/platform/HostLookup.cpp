#include "vtsupport/platform/HostLookup.h"

#include "vtsupport/platform/detail/NetSocket.h"

IHostLookup::~IHostLookup() = default;

namespace {

class NativeHostLookup : public IHostLookup {
public:
    bool byName(const std::string& name, std::uint32_t& firstAddress) override {
        return vtsupport::detail::lookupHostByName(name, firstAddress);
    }
    bool byAddress(std::uint32_t address, std::uint32_t& firstAddress) override {
        return vtsupport::detail::lookupHostByAddress(address, firstAddress);
    }
};

IHostLookup* installedLookup = nullptr;

} // namespace

IHostLookup& hostLookup() {
    static NativeHostLookup native;
    return installedLookup != nullptr ? *installedLookup : native;
}

void setHostLookup(IHostLookup* lookup) {
    installedLookup = lookup;
}
