// Affinity has no POSIX interface; this is Linux's. Linux has no process-wide
// affinity mask: the main thread's mask (what taskset sets and every thread
// inherits) stands for it, and the online processors stand for the system mask.
// Yielding is POSIX, but lives with the binding it serves.
#include "vtsupport/platform/detail/NativeCpu.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace vtsupport {
namespace detail {

namespace {

// Adds processors first..last (clipped to bits 0..31) to the mask.
void addRange(std::uint32_t& mask, unsigned long first, unsigned long last) {
    for (unsigned long cpu = first; cpu <= last && cpu < 32; ++cpu)
        mask |= 1u << cpu;
}

// Parses a kernel CPU list such as "0-3,5,8-9".
bool parseCpuList(const std::string& list, std::uint32_t& mask) {
    mask = 0;
    std::string::size_type pos = 0;
    bool any = false;
    while (pos < list.size()) {
        std::string::size_type end = list.find(',', pos);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(pos, end - pos);
        const std::string::size_type dash = item.find('-');
        try {
            const unsigned long first = std::stoul(item.substr(0, dash));
            const unsigned long last =
                dash == std::string::npos ? first : std::stoul(item.substr(dash + 1));
            addRange(mask, first, last);
            any = true;
        } catch (...) {
            return false;
        }
        pos = end + 1;
    }
    return any;
}

std::uint32_t onlineProcessors() {
    std::ifstream file("/sys/devices/system/cpu/online");
    std::string list;
    std::uint32_t mask = 0;
    if (std::getline(file, list) && parseCpuList(list, mask))
        return mask;
    // Without sysfs, assume the online processors are numbered without gaps.
    const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
    mask = 0;
    addRange(mask, 0, count > 0 ? static_cast<unsigned long>(count - 1) : 0);
    return mask;
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
    for (int cpu = 0; cpu < 32; ++cpu)
        if ((mask >> cpu) & 1u)
            CPU_SET(cpu, &set);
    return ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set) == 0;
}

void yieldCurrentThread() {
    ::sched_yield();
}

} // namespace detail
} // namespace vtsupport
