#include "vtsupport/platform/detail/NativeCpu.h"

#include <windows.h>

namespace vtsupport {
namespace detail {

bool readAffinityMasks(std::uint32_t& processMask, std::uint32_t& systemMask) {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system))
        return false;
    // Processors beyond the first 32 are not counted.
    processMask = static_cast<std::uint32_t>(process & 0xFFFFFFFFu);
    systemMask = static_cast<std::uint32_t>(system & 0xFFFFFFFFu);
    return true;
}

bool bindCurrentThread(std::uint32_t mask) {
    return ::SetThreadAffinityMask(::GetCurrentThread(), static_cast<DWORD_PTR>(mask)) != 0;
}

bool bindCurrentThreadToProcess() {
    // Binding a thread leaves the process mask as it was, so it is read afresh.
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system))
        return false;
    return ::SetThreadAffinityMask(::GetCurrentThread(), process) != 0;
}

void yieldCurrentThread() {
    ::Sleep(0);
}

} // namespace detail
} // namespace vtsupport
