#include "../Interrupts.h"

#include <signal.h>

#include <initializer_list>

namespace vtkit {
namespace platform {

namespace {

extern "C" void record(int signal) {
    recordInterruption(signal);
}

} // namespace

void catchInterrupts() {
    // Without SA_RESTART, so that a wait in progress returns and sees the interrupt.
    struct sigaction action {};
    action.sa_handler = record;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace platform
} // namespace vtkit
