// A scripted machine for the processor classes. CPUID answers as the logical
// processor the thread runs on; a bind moves the thread only at its next yield
// (as a scheduler would), so code that reads before yielding reads the wrong
// processor. Binds outside the process mask are refused. Binds and yields are
// logged in order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "vtsupport/platform/CpuPlatform.h"

namespace vttest {
class FakeCpuPlatform : public utils::ICpuPlatform {
public:
    // A "GenuineIntel" machine whose masks are both `mask`.
    FakeCpuPlatform(std::uint32_t mask, std::vector<std::uint8_t> the_apic_ids,
                    std::uint32_t the_logical, std::uint32_t the_cores)
        : logicalPerPackage(the_logical), coresPerPackage(the_cores),
          apicIds(std::move(the_apic_ids)), processMask(mask), systemMask(mask),
          its_running(lowestBit(mask)) {}
    // Leaf 0: the highest standard leaf and the twelve vendor characters.
    std::uint32_t maxLeaf = 4;
    std::string vendor = "GenuineIntel";
    // Leaf 1 EDX bit 28, EBX bits 23..16; leaf 4 EAX bits 31..26 hold coresPerPackage - 1.
    bool htFlag = true;
    std::uint32_t logicalPerPackage, coresPerPackage;
    // Initial APIC ID of logical processor i (bit i of the masks); i itself when not listed.
    std::vector<std::uint8_t> apicIds;
    std::uint32_t processMask, systemMask;
    bool masksReadable = true;
    bool bindsRefused = false; // every bind, as under a policy that forbids them
    unsigned exhaustedOn = 32; // the processor whose leaf 1 runs out of memory
    // The binds and yields in call order, each followed by a space: "bind 0x4 yield ".
    std::string log;
    utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        const std::uint32_t apic =
            its_running < apicIds.size() ? apicIds[its_running] : its_running;
        if (leaf == 1 && its_running == exhaustedOn)
            throw std::bad_alloc();
        if (leaf == 0) // "Genu", "ntel", "ineI": four characters to a register, little-endian
            return {maxLeaf, vendorWord(0), vendorWord(8), vendorWord(4)};
        if (leaf == 1 && leaf <= maxLeaf) // the low bits carry unrelated fields
            return {0x000906EAu, apic << 24 | (logicalPerPackage & 0xFFu) << 16 | 0x0800u,
                    0x7FFAFBFFu, (htFlag ? 0x10000000u : 0u) | 0x0FEBFBFFu};
        if (leaf == 4 && subleaf == 0) // answered above the highest leaf too: a read there shows
            return {(coresPerPackage - 1) << 26 | 0x00004121u, 0x01C0003Fu, 0x3Fu, 0};
        return {0, 0, 0, 0};
    }
    // From the second read on (after the base detection), the process mask becomes laterMask.
    std::uint32_t laterMask = 0; // 0: unchanged
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override {
        processMask = ++its_reads > 1 && laterMask != 0 ? laterMask : processMask;
        process = masksReadable ? processMask : process;
        system = masksReadable ? systemMask : system;
        return masksReadable;
    }
    // Windows refuses a thread mask that is empty or not within the process mask.
    bool bindThread(std::uint32_t mask) override {
        const bool refused = bindsRefused || mask == 0 || (mask & ~processMask) != 0;
        char entry[32]; // plain digits under any global locale
        std::snprintf(entry, sizeof entry, "bind 0x%x%s ", unsigned{mask},
                      refused ? " refused" : "");
        log += entry;
        its_bound = refused ? its_bound : mask;
        return !refused;
    }
    void yieldThread() override {
        log += "yield ";
        if (((boundMask() >> its_running) & 1u) == 0)
            its_running = lowestBit(boundMask());
    }
    // The mask the thread is bound to.
    std::uint32_t boundMask() const { return its_bound != 0 ? its_bound : processMask; }

private:
    std::uint32_t vendorWord(std::size_t offset) const { // x86 is little-endian
        std::uint32_t word = 0;
        std::memcpy(&word, vendor.data() + offset, 4);
        return word;
    }
    static unsigned lowestBit(std::uint32_t mask) { return mask != 0 ? __builtin_ctz(mask) : 0; }
    std::uint32_t its_bound = 0; // 0: not bound yet
    int its_reads = 0;
    unsigned its_running;
};
// Installs a platform for the lifetime of the object, then restores the native one.
struct ScopedCpuPlatform {
    explicit ScopedCpuPlatform(utils::ICpuPlatform& platform) { utils::setCpuPlatform(&platform); }
    ~ScopedCpuPlatform() { utils::setCpuPlatform(nullptr); }
};
} // namespace vttest
