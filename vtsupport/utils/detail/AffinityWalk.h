// The affinity walk shared by the processor classes (internal to the library).
#pragma once

#include <cstdint>

#include "vtsupport/platform/CpuPlatform.h"
#include "vtsupport/platform/detail/ProcessBinding.h"

namespace vtsupport {
namespace detail {

// Reads the process and system masks through the processor seam. Null when
// they were read and show a processor, otherwise the failure for the caller to
// record (the counts are then 1). Only processors 0 to 31 are seen: a process
// placed on higher ones alone sees none.
inline const char* affinityMasksOrFailure(std::uint32_t& processMask, std::uint32_t& systemMask) {
    if (!utils::cpuPlatform().affinityMasks(processMask, systemMask))
        return "Cannot read the process affinity mask. ";
    if (systemMask == 0)
        return "No processor numbered 0 to 31 is available to this process. ";
    return nullptr;
}

// The failure of a walk whose every bind was refused (the counts are then 1).
constexpr const char* kNoProcessorBound =
    "Cannot bind the thread to any processor of the process affinity mask. ";

// Binds the calling thread back to the process and yields, so it runs there.
inline void returnToProcessMask(std::uint32_t processMask) {
    bindThreadToProcess(processMask);
    utils::cpuPlatform().yieldThread();
}

// Binds the calling thread to the single-bit masks 1 << i, i = 0..31, while the
// mask is not above the system mask, yielding after each bind that succeeds so the
// thread is running there before `visitBound(mask)` is called. Then binds to the
// process mask and yields once more, also when a visit throws (out of memory), so
// the caller's thread is never left pinned to one processor. Returns the positions
// visited, failed binds included: the highest set bit of the system mask plus one.
template <typename Visit>
std::uint32_t walkAffinity(std::uint32_t systemMask, std::uint32_t processMask, Visit visitBound) {
    std::uint32_t positions = 0;
    try {
        for (std::uint32_t bit = 0; bit < 32; ++bit) {
            const std::uint32_t mask = 1u << bit;
            if (mask > systemMask)
                break;
            ++positions;
            if (!utils::cpuPlatform().bindThread(mask))
                continue;
            utils::cpuPlatform().yieldThread();
            visitBound(mask);
        }
    } catch (...) {
        returnToProcessMask(processMask);
        throw;
    }
    returnToProcessMask(processMask);
    return positions;
}

} // namespace detail
} // namespace vtsupport
