// A scripted machine for the processor classes. CPUID answers as the logical
// processor the thread runs on; a bind moves the thread only at its next yield
// (as a scheduler would), so code that reads before yielding reads the wrong
// processor. Binds outside the process mask are refused. Binds and yields are
// logged in order.
#pragma once

#include <cstdint>
#include <map>
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
    // A processor of another vendor with these masks.
    static FakeCpuPlatform otherVendor(std::uint32_t processMask, std::uint32_t systemMask) {
        FakeCpuPlatform machine(processMask, {}, 1, 1);
        machine.vendor = "AuthenticAMD";
        machine.maxLeaf = 13;
        machine.systemMask = systemMask;
        return machine;
    }
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
    // "bind 0x4", "bind 0x4 refused", "yield", in call order.
    std::vector<std::string> log;
    std::map<std::uint32_t, unsigned> cpuidCalls; // per leaf
    utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override;
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override {
        process = masksReadable ? processMask : process;
        system = masksReadable ? systemMask : system;
        return masksReadable;
    }
    bool bindThread(std::uint32_t mask) override;
    void yieldThread() override {
        log.push_back("yield");
        if (((boundMask() >> its_running) & 1u) == 0)
            its_running = lowestBit(boundMask());
    }
    // The logical processor the thread runs on, and the mask it is bound to.
    unsigned runningOn() const { return its_running; }
    std::uint32_t boundMask() const { return its_bound != 0 ? its_bound : processMask; }

private:
    static unsigned lowestBit(std::uint32_t mask) {
        unsigned bit = 0;
        while (bit < 31 && ((mask >> bit) & 1u) == 0)
            ++bit;
        return bit;
    }
    std::uint32_t its_bound = 0; // 0: not bound yet
    unsigned its_running;
};
// Installs a platform for the lifetime of the object, then restores the native one.
struct ScopedCpuPlatform {
    explicit ScopedCpuPlatform(utils::ICpuPlatform& platform) { utils::setCpuPlatform(&platform); }
    ~ScopedCpuPlatform() { utils::setCpuPlatform(nullptr); }
};
} // namespace vttest
