#include "support/FakeCpuPlatform.h"

#include <cstdio>

namespace vttest {
namespace {
// Four characters of the vendor text from `offset`, little-endian, zero-padded.
std::uint32_t vendorWord(const std::string& vendor, std::size_t offset) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4 && offset + i < vendor.size(); ++i)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(vendor[offset + i]))
                << (8 * i);
    return word;
}
} // namespace
utils::CpuidResult FakeCpuPlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    ++cpuidCalls[leaf];
    const std::uint32_t apic = its_running < apicIds.size() ? apicIds[its_running] : its_running;
    // The low bits carry unrelated fields, so sloppy masking shows.
    if (leaf == 0)
        return {maxLeaf, vendorWord(vendor, 0), vendorWord(vendor, 8), vendorWord(vendor, 4)};
    if (leaf == 1 && leaf <= maxLeaf)
        return {0x000906EAu, apic << 24 | (logicalPerPackage & 0xFFu) << 16 | 0x0800u, 0x7FFAFBFFu,
                (htFlag ? 0x10000000u : 0u) | 0x0FEBFBFFu};
    if (leaf == 4 && leaf <= maxLeaf && subleaf == 0)
        return {(coresPerPackage - 1) << 26 | 0x00004121u, 0x01C0003Fu, 0x3Fu, 0};
    return {0, 0, 0, 0};
}
bool FakeCpuPlatform::bindThread(std::uint32_t mask) {
    // Windows refuses a thread mask that is empty or not within the process mask.
    const bool refused = mask == 0 || (mask & ~processMask) != 0;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(mask));
    log.push_back(std::string("bind 0x") + hex + (refused ? " refused" : ""));
    its_bound = refused ? its_bound : mask;
    return !refused;
}
} // namespace vttest
