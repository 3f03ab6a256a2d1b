// A scripted machine for the processor classes. CPUID answers as the logical
// processor the thread currently runs on; a bind only moves the thread at its next
// yield (as a real scheduler would), so code that reads before yielding reads the
// wrong processor. Binds outside the process mask are refused. Binds and yields
// are logged in order.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vtsupport/platform/CpuPlatform.h"

namespace vttest {

class FakeCpuPlatform : public utils::ICpuPlatform {
public:
    // Leaf 0: the highest standard leaf and the twelve vendor characters.
    std::uint32_t maxLeaf = 4;
    std::string vendor = "GenuineIntel";
    // Leaf 1 EDX bit 28 and EBX bits 23..16; leaf 4 EAX bits 31..26 hold coresPerPackage - 1.
    bool htFlag = true;
    std::uint32_t logicalPerPackage = 1;
    std::uint32_t coresPerPackage = 1;
    // Initial APIC ID of logical processor i (bit i of the masks); i itself when not listed.
    std::vector<std::uint8_t> apicIds;
    std::uint32_t processMask = 1;
    std::uint32_t systemMask = 1;
    bool masksReadable = true;

    // "bind 0x4", "bind 0x4 refused", "yield", in call order.
    std::vector<std::string> log;
    // CPUID executions per leaf.
    std::map<std::uint32_t, unsigned> cpuidCalls;

    // An "GenuineIntel" machine whose masks are both `mask`.
    static FakeCpuPlatform intel(std::uint32_t mask, std::vector<std::uint8_t> apicIds,
                                 std::uint32_t logicalPerPackage, std::uint32_t coresPerPackage);
    // A processor of another vendor whose masks are `processMask` and `systemMask`.
    static FakeCpuPlatform otherVendor(std::uint32_t processMask, std::uint32_t systemMask);

    utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override;
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override;
    bool bindThread(std::uint32_t mask) override;
    void yieldThread() override;

    // The logical processor the thread runs on now.
    unsigned runningOn() const;
    // The mask the thread is bound to (the process mask before any bind).
    std::uint32_t boundMask() const;
    // The log entries that are binds, in order.
    std::vector<std::string> binds() const;

private:
    bool its_bound = false;
    std::uint32_t its_mask = 0;
    bool its_moved = false;
    unsigned its_running = 0;
};

// Installs a platform for the lifetime of the object, then restores the native one.
class ScopedCpuPlatform {
public:
    explicit ScopedCpuPlatform(utils::ICpuPlatform& platform);
    ~ScopedCpuPlatform();
    ScopedCpuPlatform(const ScopedCpuPlatform&) = delete;
    ScopedCpuPlatform& operator=(const ScopedCpuPlatform&) = delete;
};

} // namespace vttest
