#include "vtsupport/platform/CpuPlatform.h"

#include <atomic>

#include "vtsupport/platform/detail/NativeCpu.h"

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

// The installed platform; null means the native one.
std::atomic<ICpuPlatform*> installedPlatform{nullptr};

ICpuPlatform& nativePlatform() {
    // Never destroyed: detection may still be asked for during static destruction.
    static NativeCpuPlatform* const native = new NativeCpuPlatform;
    return *native;
}

} // namespace

ICpuPlatform::~ICpuPlatform() = default;

ICpuPlatform& cpuPlatform() {
    ICpuPlatform* installed = installedPlatform.load();
    return installed != nullptr ? *installed : nativePlatform();
}

void setCpuPlatform(ICpuPlatform* platform) {
    installedPlatform.store(platform);
}

} // namespace utils
