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

bool readProcessSet(cpu_set_t& set) {
    CPU_ZERO(&set);
    return ::sched_getaffinity(::getpid(), sizeof set, &set) == 0;
}

// The whole process mask as last read on this thread, empty before the first
// read (a process always has a processor). When this thread is the main one,
// binding it changes the very mask that stands for the process, so only what was
// read before the binds can take it back to all its processors.
thread_local cpu_set_t readProcess;

} // namespace

bool readAffinityMasks(std::uint32_t& processMask, std::uint32_t& systemMask) {
    cpu_set_t set;
    if (!readProcessSet(set))
        return false;
    readProcess = set;
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

bool bindCurrentThreadToProcess() {
    cpu_set_t set = readProcess;
    if (CPU_COUNT(&set) == 0 && !readProcessSet(set))
        return false;
    return ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set) == 0;
}

void yieldCurrentThread() {
    ::sched_yield();
}

} // namespace detail
} // namespace vtsupport
