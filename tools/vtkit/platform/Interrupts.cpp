// What both halves share: the record of interrupts, kept in lock-free atomics
// because a POSIX signal handler writes it (on Windows, the console's thread).
#include "Interrupts.h"

#include <atomic>

namespace vtkit {
namespace platform {

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "written from a signal handler");
std::atomic<int> latest{0};
std::atomic<int> count{0};

} // namespace

void recordInterruption(int signal) {
    latest = signal;
    ++count;
}

int interruption() {
    return latest;
}

int interruptionCount() {
    return count;
}

} // namespace platform
} // namespace vtkit
