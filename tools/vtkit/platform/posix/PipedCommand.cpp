#include "../PipedCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "../Interrupts.h"
#include "vtsupport/files/detail/CommandLine.h"

extern char** environ;

namespace vtkit {
namespace platform {

namespace {

// Starts the interpreter in a process group of its own, so that interrupts
// reach the command only through the tool, which can then also end what the
// command leaves behind. 0, or the error number of the failed start.
int spawnInterpreter(const std::string& command, int output, pid_t& child) {
    using vtsupport::detail::InterpreterSyntax;
    const std::string interpreter =
        vtsupport::detail::interpreterProgram(InterpreterSyntax::PosixShell);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, output, 1);
    ::posix_spawn_file_actions_adddup2(&actions, output, 2);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                POSIX_SPAWN_SETSIGMASK);
    const char* arguments[] = {
        interpreter.c_str(), vtsupport::detail::interpreterRunSwitch(InterpreterSyntax::PosixShell),
        command.c_str(), nullptr};
    const int failure = ::posix_spawnp(&child, interpreter.c_str(), &actions, &attributes,
                                       const_cast<char* const*>(arguments), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    return failure;
}

// The command's process group while it runs, for the signal handlers below.
std::atomic<pid_t> runningGroup{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "read in a signal handler");

extern "C" void recordQuit(int signal) {
    recordInterruption(signal);
}

// Sends `signal` to the running command's group; never to the tool's own (0).
void signalGroup(int signal) {
    const pid_t group = runningGroup;
    if (group > 0)
        ::kill(-group, signal);
}

// Ctrl-Z: the command stops with the tool; it continues when the tool does.
extern "C" void stopTogether(int) {
    const int saved = errno;
    signalGroup(SIGTSTP);
    ::raise(SIGSTOP);
    errno = saved;
}

extern "C" void continueTogether(int) {
    const int saved = errno;
    signalGroup(SIGCONT);
    errno = saved;
}

// Any other signal that ends the tool ends the command's group first; the
// handler is reset by then, so the signal raised again takes its ordinary course.
extern "C" void endTogether(int signal) {
    signalGroup(SIGKILL);
    ::raise(signal);
}

// The tool's signals while a command runs: what the terminal sends is handed on
// (Ctrl-C and Ctrl-\ by the wait, see Interrupts.h, Ctrl-Z and the continue at
// once), and every other signal that would end the tool ends the command too.
class GroupSignals {
public:
    explicit GroupSignals(pid_t group) {
        runningGroup = group;
        set(SIGQUIT, recordQuit, 0, true);
        set(SIGTSTP, stopTogether, SA_RESTART);
        set(SIGCONT, continueTogether, SA_RESTART);
        for (int signal : {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGPOLL, SIGSYS,
                           SIGTRAP, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
            set(signal, endTogether, SA_RESETHAND | SA_NODEFER);
        for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
            set(signal, endTogether, SA_RESETHAND | SA_NODEFER);
    }
    ~GroupSignals() {
        for (std::size_t i = 0; i < count_; ++i)
            ::sigaction(replaced_[i].signal, &replaced_[i].action, nullptr);
        runningGroup = 0;
    }
    GroupSignals(const GroupSignals&) = delete;
    GroupSignals& operator=(const GroupSignals&) = delete;

private:
    struct Replaced {
        int signal;
        struct sigaction action;
    };

    // A signal that the tool was started ignoring stays ignored unless `always`:
    // Ctrl-\ is an interrupt like Ctrl-C, which the tool catches in any case.
    void set(int signal, void (*handler)(int), int flags, bool always = false) {
        if (count_ == replaced_.size())
            return;
        Replaced& entry = replaced_[count_];
        entry.signal = signal;
        if (::sigaction(signal, nullptr, &entry.action) != 0 ||
            (entry.action.sa_handler == SIG_IGN && !always))
            return;
        struct sigaction action {};
        action.sa_handler = handler;
        action.sa_flags = flags;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
        ++count_;
    }

    // Room for every signal there is, so that nothing here allocates.
    std::array<Replaced, 65> replaced_;
    std::size_t count_ = 0;
};

// The interpreter's process group as the tool watches it: interrupts handed
// on, the interpreter reaped when it ends. Whatever is left of the group when
// the tool stops watching before the interpreter's end is killed.
class CommandGroup {
public:
    explicit CommandGroup(pid_t leader) : leader_(leader), signals_(leader) {}
    ~CommandGroup() {
        if (ended_)
            return;
        ::kill(-leader_, SIGKILL);
        while (::waitpid(leader_, &waitStatus_, 0) < 0 && errno == EINTR) {
        }
    }
    CommandGroup(const CommandGroup&) = delete;
    CommandGroup& operator=(const CommandGroup&) = delete;

    // Hands on the interrupts that came since the last call (a second one kills)
    // and reaps the interpreter once it has ended; after the tool has stopped
    // the command, what the interpreter leaves behind is terminated.
    void check() {
        const int interrupts = interruptionCount();
        if (interrupts > handedOn_) {
            ::kill(-leader_, interrupts > 1 ? SIGKILL : interruption());
            handedOn_ = interrupts;
        }
        if (!ended_ && ::waitpid(leader_, &waitStatus_, WNOHANG) == leader_)
            ended_ = true;
        if (ended_ && (handedOn_ > 0 || ending_) && !terminated_) {
            ::kill(-leader_, SIGTERM);
            terminated_ = true;
        }
    }

    // After a second interrupt nothing more is awaited, not even the output of
    // a descendant that left the group.
    bool killed() const { return handedOn_ > 1; }

    // The tool cannot pass the output on: the group gets the signal that a
    // pipe without a reader gives, and one it cannot ignore a second later.
    void end() {
        ::kill(-leader_, SIGPIPE);
        ending_ = true;
    }

    unsigned long waitForEnd() {
        const timespec pause{0, 50 * 1000 * 1000};
        for (int polls = 0;; ++polls) {
            check();
            if (ended_)
                break;
            if (ending_ && polls == 20)
                ::kill(-leader_, SIGKILL);
            ::nanosleep(&pause, nullptr);
        }
        if (WIFSIGNALED(waitStatus_))
            return 128 + static_cast<unsigned long>(WTERMSIG(waitStatus_));
        return static_cast<unsigned long>(WEXITSTATUS(waitStatus_));
    }

private:
    pid_t leader_;
    GroupSignals signals_;
    int waitStatus_ = 0;
    int handedOn_ = 0;
    bool ended_ = false;
    bool ending_ = false;
    bool terminated_ = false;
};

} // namespace

PipedRun runPiped(const std::string& command,
                  const std::function<bool(const char*, std::size_t)>& sink) {
    PipedRun run{false, 0, std::string()};
    int ends[2];
    if (::pipe(ends) != 0) {
        run.error = std::strerror(errno);
        return run;
    }
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    pid_t child = -1;
    const int failure = spawnInterpreter(command, ends[1], child);
    ::close(ends[1]);
    if (failure != 0) {
        ::close(ends[0]);
        run.error = std::strerror(failure);
        return run;
    }
    run.started = true;
    CommandGroup group(child);
    // Polled in short steps, so that an interrupt is handed on however quiet the command is.
    std::vector<char> buffer(64 * 1024);
    for (int reading = ends[0]; reading >= 0;) {
        group.check();
        pollfd ready{reading, POLLIN, 0};
        if (!group.killed() && ::poll(&ready, 1, 100) <= 0)
            continue;
        const ssize_t count = group.killed() ? 0 : ::read(reading, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        const bool passedOn = count > 0 && sink(buffer.data(), static_cast<std::size_t>(count));
        if (count > 0 && !passedOn)
            group.end();
        if (!passedOn) {
            ::close(reading);
            reading = -1;
        }
    }
    run.status = group.waitForEnd();
    return run;
}

} // namespace platform
} // namespace vtkit
