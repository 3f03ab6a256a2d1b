#include "support/FakeCpuPlatform.h"

#include <cstdio>

namespace vttest {

namespace {

unsigned lowestBit(std::uint32_t mask) {
    unsigned bit = 0;
    while (bit < 31 && ((mask >> bit) & 1u) == 0)
        ++bit;
    return bit;
}

// Four characters of the vendor text from `offset`, little-endian, zero-padded.
std::uint32_t vendorWord(const std::string& vendor, std::size_t offset) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4 && offset + i < vendor.size(); ++i)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(vendor[offset + i]))
                << (8 * i);
    return word;
}

} // namespace

FakeCpuPlatform::FakeCpuPlatform(std::uint32_t mask, std::vector<std::uint8_t> the_apic_ids,
                                 std::uint32_t the_logical, std::uint32_t the_cores)
    : logicalPerPackage(the_logical), coresPerPackage(the_cores), apicIds(std::move(the_apic_ids)),
      processMask(mask), systemMask(mask), its_running(lowestBit(mask)) {}

FakeCpuPlatform FakeCpuPlatform::otherVendor(std::uint32_t processMask, std::uint32_t systemMask) {
    FakeCpuPlatform machine(processMask, {}, 1, 1);
    machine.vendor = "AuthenticAMD";
    machine.maxLeaf = 13;
    machine.systemMask = systemMask;
    return machine;
}

utils::CpuidResult FakeCpuPlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    ++cpuidCalls[leaf];
    if (leaf == 0)
        return {maxLeaf, vendorWord(vendor, 0), vendorWord(vendor, 8), vendorWord(vendor, 4)};
    if (leaf > maxLeaf)
        return {0, 0, 0, 0};
    if (leaf == 1) {
        const std::uint32_t apic =
            its_running < apicIds.size() ? apicIds[its_running] : its_running;
        // The low bits carry unrelated fields, so sloppy masking shows.
        return {0x000906EAu, apic << 24 | (logicalPerPackage & 0xFFu) << 16 | 0x0800u, 0x7FFAFBFFu,
                (htFlag ? 0x10000000u : 0u) | 0x0FEBFBFFu};
    }
    if (leaf == 4 && subleaf == 0)
        return {(coresPerPackage - 1) << 26 | 0x00004121u, 0x01C0003Fu, 0x3Fu, 0};
    return {0, 0, 0, 0};
}

bool FakeCpuPlatform::affinityMasks(std::uint32_t& process, std::uint32_t& system) {
    if (!masksReadable)
        return false;
    process = processMask;
    system = systemMask;
    return true;
}

bool FakeCpuPlatform::bindThread(std::uint32_t mask) {
    char entry[32];
    // Windows refuses a thread mask that is empty or not within the process mask.
    const bool refused = mask == 0 || (mask & ~processMask) != 0;
    std::snprintf(entry, sizeof entry, "bind 0x%x%s", static_cast<unsigned>(mask),
                  refused ? " refused" : "");
    log.push_back(entry);
    if (!refused)
        its_bound = mask;
    return !refused;
}

void FakeCpuPlatform::yieldThread() {
    log.push_back("yield");
    if (((boundMask() >> its_running) & 1u) == 0)
        its_running = lowestBit(boundMask());
}

} // namespace vttest
