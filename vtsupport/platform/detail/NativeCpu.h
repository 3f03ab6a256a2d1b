// The native halves behind the processor seam (internal to the library): the
// CPUID instruction, shared by every OS, and the affinity services, implemented
// once per OS in win32/ and, having no POSIX form, linux/.
#pragma once

#include <cstdint>

#include "vtsupport/platform/CpuPlatform.h"

namespace vtsupport {
namespace detail {

// CPUID on the calling thread's processor; all zero without CPUID or beyond the
// highest leaf the processor reports.
utils::CpuidResult executeCpuid(std::uint32_t leaf, std::uint32_t subleaf);

// Process and system affinity masks, bits 0..31; false when they cannot be read.
bool readAffinityMasks(std::uint32_t& processMask, std::uint32_t& systemMask);
// Binds the calling thread to the mask's processors; false when refused.
bool bindCurrentThread(std::uint32_t mask);
// Binds the calling thread to the whole process affinity, at any width; false
// when refused.
bool bindCurrentThreadToProcess();
// Gives up the calling thread's time slice.
void yieldCurrentThread();

} // namespace detail
} // namespace vtsupport
