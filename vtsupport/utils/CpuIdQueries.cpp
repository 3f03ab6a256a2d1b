#include "vtsupport/utils/CpuId.h"

#include "vtsupport/platform/CpuPlatform.h"

namespace utils {

namespace {

constexpr std::uint32_t kVendorLeaf = 0;
constexpr std::uint32_t kFeatureLeaf = 1;
constexpr std::uint32_t kCacheLeaf = 4;
constexpr std::uint32_t kHyperThreadingBit = 0x10000000;

CpuidResult cpuid(std::uint32_t leaf) {
    return cpuPlatform().cpuid(leaf, 0);
}

// 0xFF shifted left within 8 bits; shifts of 8 or more leave nothing.
std::uint32_t highBits(std::uint32_t shift) {
    return shift >= 8 ? 0u : (0xFFu << shift) & 0xFFu;
}

} // namespace

std::uint32_t maxStandardLeaf() {
    return cpuid(kVendorLeaf).eax;
}

bool isGenuineIntel() {
    if (maxStandardLeaf() == 0)
        return false;
    const CpuidResult r = cpuid(kVendorLeaf);
    // "Genu" "ineI" "ntel", four characters to a register, little-endian.
    return r.ebx == 0x756E6547 && r.edx == 0x49656E69 && r.ecx == 0x6C65746E;
}

bool isAmd() {
    return false;
}

std::uint32_t hasHyperThreadingFlag() {
    if (maxStandardLeaf() >= 1 && isGenuineIntel())
        return cpuid(kFeatureLeaf).edx & kHyperThreadingBit;
    return 0;
}

std::uint32_t logicalProcessorsPerPackage() {
    if (hasHyperThreadingFlag() == 0)
        return 1;
    return (cpuid(kFeatureLeaf).ebx >> 16) & 0xFFu;
}

std::uint32_t coresPerPackage() {
    if (hasHyperThreadingFlag() == 0)
        return 1;
    if (static_cast<std::int32_t>(cpuid(kVendorLeaf).eax) < 4)
        return 1;
    return (cpuPlatform().cpuid(kCacheLeaf, 0).eax >> 26) + 1;
}

std::uint8_t initialApicId() {
    return static_cast<std::uint8_t>(cpuid(kFeatureLeaf).ebx >> 24);
}

std::uint32_t fieldWidth(std::uint32_t count) {
    // The significant bits of count - 1: 0 wraps round to 32 bits.
    std::uint32_t rest = count - 1;
    std::uint32_t width = 0;
    while (rest != 0) {
        ++width;
        rest >>= 1;
    }
    return width;
}

std::uint8_t extractSubId(std::uint8_t fullId, std::uint8_t maxSubIds, std::uint8_t shift) {
    const std::uint32_t mask = highBits(fieldWidth(maxSubIds) + shift) ^ highBits(shift);
    return static_cast<std::uint8_t>(fullId & mask);
}

} // namespace utils
