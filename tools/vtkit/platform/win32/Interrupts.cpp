#include "../Interrupts.h"

#include <windows.h>

namespace vtkit {
namespace platform {

namespace {

// Runs on a thread of its own. Every process on the console gets the same
// event, the commands that `run` started included, so nothing is handed on.
BOOL WINAPI record(DWORD event) {
    recordInterruption(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 2 : 15);
    return TRUE;
}

} // namespace

void catchInterrupts() {
    ::SetConsoleCtrlHandler(record, TRUE);
}

} // namespace platform
} // namespace vtkit
