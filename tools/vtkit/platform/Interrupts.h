// Interrupts (Ctrl-C; on POSIX also SIGTERM and SIGHUP) recorded instead of
// ending the process, for the commands that wind down in order: the echo peer
// prints its summary, `run` hands the interrupt on to the command it runs.
#pragma once

namespace vtkit {
namespace platform {

void catchInterrupts();
// For the halves' handlers: notes one interrupt by signal number.
void recordInterruption(int signal);
// The signal number of the latest interrupt (2 for Ctrl-C), 0 while none came.
int interruption();
// How many interrupts have come so far.
int interruptionCount();

// While one exists, an interrupt of the kinds above waits: work that must not
// be cut short (a capture whose file would stay behind) ends first, and then the
// interrupt takes its ordinary course, which ends the process. A second one
// does not wait.
class HeldInterrupts {
public:
    HeldInterrupts();
    ~HeldInterrupts();
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;
};

} // namespace platform
} // namespace vtkit
