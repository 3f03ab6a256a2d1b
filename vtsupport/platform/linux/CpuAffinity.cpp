// Affinity has no POSIX interface; this is Linux's. Linux has no process-wide
// affinity mask: the main thread's mask (what taskset sets and every thread
// inherits) stands for it, and the online processors stand for the system mask.
// Yielding is POSIX, but lives with the binding it serves.
#include "vtsupport/platform/detail/NativeCpu.h"
#include "vtsupport/utils/detail/CpuList.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace vtsupport {
namespace detail {

namespace {

std::uint32_t onlineProcessors() {
    std::ifstream file("/sys/devices/system/cpu/online");
    std::string list;
    std::getline(file, list);
    return onlineProcessorMask(list, ::sysconf(_SC_NPROCESSORS_ONLN));
}

} // namespace

bool readAffinityMasks(std::uint32_t& processMask, std::uint32_t& systemMask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(::getpid(), sizeof set, &set) != 0)
        return false;
    processMask = 0;
    for (int cpu = 0; cpu < 32; ++cpu)
        if (CPU_ISSET(cpu, &set))
            processMask |= 1u << cpu;
    systemMask = onlineProcessors();
    return true;
}

bool bindCurrentThread(std::uint32_t mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (std::uint32_t rest = mask; rest != 0; rest &= rest - 1) // each set bit, lowest first
        CPU_SET(__builtin_ctz(rest), &set);
    return ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set) == 0;
}

void yieldCurrentThread() {
    ::sched_yield();
}

} // namespace detail
} // namespace vtsupport
