#include "support/FakeCpuPlatform.h"

#include <cstring>
#include <locale>
#include <sstream>

namespace vttest {

namespace {

unsigned lowestBit(std::uint32_t mask) {
    for (unsigned bit = 0; bit < 32; ++bit)
        if ((mask >> bit) & 1u)
            return bit;
    return 0;
}

std::string hex(std::uint32_t value) {
    std::ostringstream text;
    text.imbue(std::locale::classic()); // the log reads the same under any global locale
    text << "0x" << std::hex << value;
    return text.str();
}

std::uint32_t vendorWord(const std::string& vendor, std::size_t offset) {
    char padded[12] = {};
    std::memcpy(padded, vendor.data(), vendor.size() < 12 ? vendor.size() : 12);
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4; ++i)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(padded[offset + i]))
                << (8 * i);
    return word;
}

} // namespace

FakeCpuPlatform FakeCpuPlatform::intel(std::uint32_t mask, std::vector<std::uint8_t> apicIds,
                                       std::uint32_t logicalPerPackage,
                                       std::uint32_t coresPerPackage) {
    FakeCpuPlatform machine;
    machine.processMask = mask;
    machine.systemMask = mask;
    machine.apicIds = std::move(apicIds);
    machine.logicalPerPackage = logicalPerPackage;
    machine.coresPerPackage = coresPerPackage;
    return machine;
}

FakeCpuPlatform FakeCpuPlatform::otherVendor(std::uint32_t processMask, std::uint32_t systemMask) {
    FakeCpuPlatform machine;
    machine.vendor = "AuthenticAMD";
    machine.maxLeaf = 13;
    machine.processMask = processMask;
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
        const unsigned processor = runningOn();
        const std::uint32_t apic =
            processor < apicIds.size() ? apicIds[processor] : static_cast<std::uint32_t>(processor);
        // The low bits carry unrelated fields, so sloppy masking shows.
        const std::uint32_t ebx = apic << 24 | (logicalPerPackage & 0xFFu) << 16 | 0x0800u;
        const std::uint32_t edx = (htFlag ? 0x10000000u : 0u) | 0x0FEBFBFFu;
        return {0x000906EAu, ebx, 0x7FFAFBFFu, edx};
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
    // Windows refuses a thread mask that is empty or not within the process mask.
    if (mask == 0 || (mask & ~processMask) != 0) {
        log.push_back("bind " + hex(mask) + " refused");
        return false;
    }
    log.push_back("bind " + hex(mask));
    its_bound = true;
    its_mask = mask;
    return true;
}

void FakeCpuPlatform::yieldThread() {
    log.push_back("yield");
    const unsigned current = runningOn();
    if (((boundMask() >> current) & 1u) == 0) {
        its_moved = true;
        its_running = lowestBit(boundMask());
    }
}

unsigned FakeCpuPlatform::runningOn() const {
    return its_moved ? its_running : lowestBit(processMask);
}

std::uint32_t FakeCpuPlatform::boundMask() const {
    return its_bound ? its_mask : processMask;
}

std::vector<std::string> FakeCpuPlatform::binds() const {
    std::vector<std::string> result;
    for (const std::string& entry : log)
        if (entry.compare(0, 5, "bind ") == 0)
            result.push_back(entry);
    return result;
}

ScopedCpuPlatform::ScopedCpuPlatform(utils::ICpuPlatform& platform) {
    utils::setCpuPlatform(&platform);
}

ScopedCpuPlatform::~ScopedCpuPlatform() {
    utils::setCpuPlatform(nullptr);
}

} // namespace vttest
