#include "vtsupport/platform/CpuPlatform.h"

#include "vtsupport/platform/detail/NativeCpu.h"
#include "vtsupport/platform/detail/ProcessBinding.h"
#include "vtsupport/platform/detail/Seam.h"

namespace utils {

namespace {

class NativeCpuPlatform final : public ICpuPlatform {
public:
    CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        return vtsupport::detail::executeCpuid(leaf, subleaf);
    }
    bool affinityMasks(std::uint32_t& processMask, std::uint32_t& systemMask) override {
        return vtsupport::detail::readAffinityMasks(processMask, systemMask);
    }
    bool bindThread(std::uint32_t mask) override {
        return vtsupport::detail::bindCurrentThread(mask);
    }
    void yieldThread() override { vtsupport::detail::yieldCurrentThread(); }
};

vtsupport::detail::Seam<ICpuPlatform, NativeCpuPlatform> seam;

} // namespace

ICpuPlatform::~ICpuPlatform() = default;

ICpuPlatform& cpuPlatform() {
    return seam.current();
}

void setCpuPlatform(ICpuPlatform* platform) {
    seam.install(platform);
}

} // namespace utils

bool vtsupport::detail::bindThreadToProcess(std::uint32_t processMask) {
    utils::ICpuPlatform* const installed = utils::seam.installed();
    return installed != nullptr ? installed->bindThread(processMask) : bindCurrentThreadToProcess();
}
