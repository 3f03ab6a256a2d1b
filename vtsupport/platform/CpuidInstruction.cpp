// The CPUID instruction is the processor's, not the operating system's: the same
// code serves every OS, chosen by compiler and architecture only.
#include "vtsupport/platform/detail/NativeCpu.h"

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#define VTSUPPORT_CPUID_MSVC 1
#elif defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define VTSUPPORT_CPUID_GNU 1
#endif

namespace vtsupport {
namespace detail {

utils::CpuidResult executeCpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    utils::CpuidResult result{0, 0, 0, 0};
#if defined(VTSUPPORT_CPUID_GNU)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    // Zero when the processor lacks CPUID or the leaf lies beyond its highest one.
    if (__get_cpuid_count(leaf, subleaf, &eax, &ebx, &ecx, &edx) != 0)
        result = utils::CpuidResult{eax, ebx, ecx, edx};
#elif defined(VTSUPPORT_CPUID_MSVC)
    int registers[4] = {0, 0, 0, 0};
    __cpuid(registers, static_cast<int>(leaf & 0x80000000u));
    if (static_cast<std::uint32_t>(registers[0]) >= leaf) {
        __cpuidex(registers, static_cast<int>(leaf), static_cast<int>(subleaf));
        result = utils::CpuidResult{
            static_cast<std::uint32_t>(registers[0]), static_cast<std::uint32_t>(registers[1]),
            static_cast<std::uint32_t>(registers[2]), static_cast<std::uint32_t>(registers[3])};
    }
#else
    // No x86 processor: every leaf reads as zero, so the vendor is never recognised.
    (void)leaf;
    (void)subleaf;
#endif
    return result;
}

} // namespace detail
} // namespace vtsupport
