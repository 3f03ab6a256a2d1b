// Direct program start. The program runs as a grandchild: a short-lived middle
// process starts it, waits for it (to the end or for the short time) and exits,
// so a program that outlives the wait is adopted by the system's reaper and
// never becomes a zombie of the caller. The caller only ever waits for the middle
// process, which closes every descriptor of the caller but its report pipe at
// once: a file, pipe or socket that the caller closes is not kept open for as long
// as the middle process waits. Everything the two forked processes need is
// prepared before forking, so that they call nothing but async-signal-safe functions.
// The middle process runs nothing of the caller's: it is forked with every signal
// blocked, drops the caller's handlers and leaves only through _exit, so that no
// handler, atexit cleanup or stdio flush of the caller runs in it.
#include "vtsupport/files/detail/CommandLine.h"
#include "vtsupport/platform/detail/ProcessSpawn.h"
#include "vtsupport/platform/posix/KernelExtensions.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace vtsupport {
namespace detail {

namespace {

// The paths execvp would try for `name`, in its order.
std::vector<std::string> programCandidates(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return {name};
    const char* path = ::getenv("PATH");
    const std::string dirs = path != nullptr ? path : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end - start);
        candidates.push_back(dir.empty() ? name : dir + "/" + name);
        if (end == std::string::npos)
            return candidates;
        start = end + 1;
    }
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

long long monotonicMilliseconds() {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Closes every descriptor from 3 upward except `keep` (which may lie below 3
// when the caller runs without standard streams).
void closeDescriptorsExcept(int keep, int highestDescriptor) {
    const unsigned kept = static_cast<unsigned>(keep);
    const bool closed = keep < 3 ? closeDescriptorRange(3, ~0U)
                                 : (keep == 3 || closeDescriptorRange(3, kept - 1)) &&
                                       closeDescriptorRange(kept + 1, ~0U);
    if (!closed) {
        for (int fd = 3; fd <= highestDescriptor; ++fd)
            if (fd != keep)
                ::close(fd);
    }
}

// Sets every signal that can be caught to its default action; the handlers
// were the caller's.
void defaultSignalActions() {
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        action.sa_handler = SIG_DFL;
        ::sigaction(signal, &action, nullptr);
    }
}

// Runs in the grandchild, which inherits only the standard streams and the
// report pipe (closed on exec), and the default signal actions: unblocks every
// signal, then runs the program. A signal sent to it meanwhile stays pending and
// reaches the program. Reports errno through `report` when no candidate can be executed.
[[noreturn]] void execProgram(const std::vector<char*>& candidates,
                              const std::vector<char*>& arguments, int report) {
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int error = ENOENT;
    for (char* candidate : candidates) {
        if (candidate == nullptr)
            break;
        ::execve(candidate, arguments.data(), environ);
        if (errno == EACCES)
            error = EACCES;
        else if (errno != ENOENT && errno != ENOTDIR) {
            error = errno;
            break;
        }
    }
    ssize_t ignored = ::write(report, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// Runs in the middle process: starts the program and waits as asked, then exits.
// Every signal stays blocked in it to the end (a fault still ends it, and so does
// SIGKILL): a termination request, whether sent to the whole process group (Ctrl-C,
// a service manager) or to this process alone, neither runs anything here nor ends
// the wait, so the caller returns only once the program has ended. Nothing is
// forwarded: a request to the group reaches the program itself, and one sent to
// this process alone was not meant for the program.
[[noreturn]] void startAndWait(const std::vector<char*>& candidates,
                               const std::vector<char*>& arguments, int report,
                               int highestDescriptor, bool untilExit, long long limit) {
    defaultSignalActions();
    closeDescriptorsExcept(report, highestDescriptor);
    const pid_t program = ::fork();
    if (program == 0)
        execProgram(candidates, arguments, report);
    if (program == -1) {
        const int error = errno;
        ssize_t ignored = ::write(report, &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    ::close(report);
    const long long start = monotonicMilliseconds();
    for (;;) {
        const pid_t waited = ::waitpid(program, nullptr, untilExit ? 0 : WNOHANG);
        if (waited == program || (waited == -1 && errno != EINTR))
            break;
        if (!untilExit) {
            if (monotonicMilliseconds() - start >= limit)
                break;
            const timespec pause = {0, 1000000L};
            ::nanosleep(&pause, nullptr);
        }
    }
    ::_exit(0);
}

} // namespace

bool spawnProgram(const std::string& commandLine, bool untilExit,
                  unsigned int otherwiseMilliseconds) {
    std::vector<std::string> words = splitWindowsCommandLine(commandLine);
    if (words.empty() || words[0].empty())
        return false;
    std::vector<std::string> candidateTexts = programCandidates(words[0]);
    const std::vector<char*> candidates = pointersTo(candidateTexts);
    const std::vector<char*> arguments = pointersTo(words);
    // Where descriptors are closed one by one, the loop runs to the hard limit: one
    // may lie above the soft limit, when that was lowered after it was opened.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const int highestDescriptor =
        limit.rlim_max > 0 && limit.rlim_max < 65536 ? static_cast<int>(limit.rlim_max) : 65536;

    int report[2];
    if (!openCloseOnExecPipe(report))
        return false;
    // No signal may run a handler of the caller in the middle process before it
    // has dropped them; the caller's own mask is back right after the fork.
    sigset_t all, callerMask;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &callerMask);
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::close(report[0]);
        startAndWait(candidates, arguments, report[1], highestDescriptor, untilExit,
                     otherwiseMilliseconds);
    }
    ::pthread_sigmask(SIG_SETMASK, &callerMask, nullptr);
    ::close(report[1]);
    bool started = false;
    if (middle != -1) {
        // End of file without a number: the exec succeeded and closed the pipe.
        int error = 0;
        ssize_t got;
        do {
            got = ::read(report[0], &error, sizeof error);
        } while (got == -1 && errno == EINTR);
        started = got == 0;
        while (::waitpid(middle, nullptr, 0) == -1 && errno == EINTR) {
        }
    }
    ::close(report[0]);
    return started;
}

} // namespace detail
} // namespace vtsupport
