/// @file
/// The processor seam: the CPUID instruction and the affinity services that
/// processor detection needs, behind one interface.
///
/// The processor classes reach them only through utils::cpuPlatform(), so an
/// embedder or a test can install its own platform (for instance one that plays
/// a machine processor by processor). The installed platform is used by
/// whichever thread asks; swap it only while no detection runs.
#pragma once

#include <cstdint>

#include "vtsupport/Export.h"

namespace utils {

/// The four registers that CPUID fills.
struct CpuidResult {
    std::uint32_t eax; ///< EAX
    std::uint32_t ebx; ///< EBX
    std::uint32_t ecx; ///< ECX
    std::uint32_t edx; ///< EDX
};

/// The processor services of the platform. Implementations answer for the
/// processor the calling thread runs on.
class VTSUPPORT_API ICpuPlatform {
public:
    /// Destroys the platform.
    virtual ~ICpuPlatform();
    /// Executes CPUID with `leaf` in EAX and `subleaf` in ECX on the processor the
    /// calling thread runs on; all zero where the processor has no CPUID or no such leaf.
    virtual CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) = 0;
    /// The process and system affinity masks, bits 0..31 (bit i is logical
    /// processor i); false when they cannot be read.
    virtual bool affinityMasks(std::uint32_t& processMask, std::uint32_t& systemMask) = 0;
    /// Binds the calling thread to the processors of `mask`; false when the bind fails.
    virtual bool bindThread(std::uint32_t mask) = 0;
    /// Gives up the rest of the time slice, so a new binding takes effect.
    virtual void yieldThread() = 0;
};

/// The platform in use: the native one unless another was installed.
VTSUPPORT_API ICpuPlatform& cpuPlatform();
/// Installs `platform` (not owned; it must outlive its use); nullptr restores the native one.
VTSUPPORT_API void setCpuPlatform(ICpuPlatform* platform);

} // namespace utils
