#include "../Interrupts.h"

#include <windows.h>

#include <atomic>

namespace vtkit {
namespace platform {

namespace {

// Runs on a thread of its own. Every process on the console gets the same
// event, the commands that `run` started included, so nothing is handed on.
BOOL WINAPI record(DWORD event) {
    recordInterruption(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 2 : 15);
    return TRUE;
}

std::atomic<bool> held{false};

// The first event waits; a second goes on to the next handler, the system's,
// which ends the process.
BOOL WINAPI hold(DWORD) {
    return held.exchange(true) ? FALSE : TRUE;
}

} // namespace

void catchInterrupts() {
    ::SetConsoleCtrlHandler(record, TRUE);
}

HeldInterrupts::HeldInterrupts() {
    held = false;
    ::SetConsoleCtrlHandler(hold, TRUE);
}

// The system's own handler ends a process with this status on Ctrl-C.
HeldInterrupts::~HeldInterrupts() {
    ::SetConsoleCtrlHandler(hold, FALSE);
    if (held)
        ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

} // namespace platform
} // namespace vtkit
