#include "../PipedCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../Interrupts.h"

extern char** environ;

namespace vtkit {
namespace platform {

namespace {

// Starts the interpreter in a process group of its own, so that interrupts
// reach the command only through the tool, which can then also end what the
// command leaves behind. 0, or the error number of the failed start.
int spawnInterpreter(const std::string& command, int output, pid_t& child) {
    const char* comspec = std::getenv("COMSPEC");
    const std::string interpreter = comspec != nullptr ? comspec : "/bin/sh";
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, output, 1);
    ::posix_spawn_file_actions_adddup2(&actions, output, 2);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                POSIX_SPAWN_SETSIGMASK);
    const char* arguments[] = {interpreter.c_str(), "-c", command.c_str(), nullptr};
    const int failure = ::posix_spawnp(&child, interpreter.c_str(), &actions, &attributes,
                                       const_cast<char* const*>(arguments), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    return failure;
}

// The interpreter's process group as the tool watches it: interrupts handed on,
// the interpreter reaped when it ends.
class CommandGroup {
public:
    explicit CommandGroup(pid_t leader) : leader_(leader) {}

    // Hands on the interrupts that came since the last call (a second one kills)
    // and reaps the interpreter once it has ended; after an interrupt, what the
    // interpreter leaves behind is terminated.
    void check() {
        const int interrupts = interruptionCount();
        if (interrupts > handedOn_) {
            ::kill(-leader_, interrupts > 1 ? SIGKILL : interruption());
            handedOn_ = interrupts;
        }
        if (!ended_ && ::waitpid(leader_, &waitStatus_, WNOHANG) == leader_)
            ended_ = true;
        if (ended_ && handedOn_ > 0 && !terminated_) {
            ::kill(-leader_, SIGTERM);
            terminated_ = true;
        }
    }

    unsigned long waitForEnd() {
        const timespec pause{0, 50 * 1000 * 1000};
        for (check(); !ended_; check())
            ::nanosleep(&pause, nullptr);
        if (WIFSIGNALED(waitStatus_))
            return 128 + static_cast<unsigned long>(WTERMSIG(waitStatus_));
        return static_cast<unsigned long>(WEXITSTATUS(waitStatus_));
    }

private:
    pid_t leader_;
    int waitStatus_ = 0;
    int handedOn_ = 0;
    bool ended_ = false;
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
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        const ssize_t count = ::read(reading, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0 || !sink(buffer.data(), static_cast<std::size_t>(count))) {
            ::close(reading);
            reading = -1;
        }
    }
    run.status = group.waitForEnd();
    return run;
}

} // namespace platform
} // namespace vtkit
