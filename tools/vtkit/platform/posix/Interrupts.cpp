#include "../Interrupts.h"

#include <signal.h>

namespace vtkit {
namespace platform {

namespace {

const int interrupts[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void record(int signal) {
    recordInterruption(signal);
}

// What HeldInterrupts keeps: the actions it replaced and the interrupt it holds.
struct sigaction replaced[3];
volatile sig_atomic_t held = 0;

extern "C" void hold(int signal) {
    if (held == 0) {
        held = signal;
        return;
    }
    // Not a second wait: the signal takes its ordinary course once this returns.
    struct sigaction ordinary {};
    ordinary.sa_handler = SIG_DFL;
    ::sigaction(signal, &ordinary, nullptr);
    ::raise(signal);
}

} // namespace

void catchInterrupts() {
    // Without SA_RESTART, so that a wait in progress returns and sees the interrupt.
    struct sigaction action {};
    action.sa_handler = record;
    sigemptyset(&action.sa_mask);
    for (int signal : interrupts)
        ::sigaction(signal, &action, nullptr);
}

HeldInterrupts::HeldInterrupts() {
    held = 0;
    struct sigaction action {};
    action.sa_handler = hold;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
        ::sigaction(interrupts[i], &action, &replaced[i]);
}

HeldInterrupts::~HeldInterrupts() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(interrupts[i], &replaced[i], nullptr);
    if (held != 0)
        ::raise(held);
}

} // namespace platform
} // namespace vtkit
