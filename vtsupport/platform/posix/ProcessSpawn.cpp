// The interpreter run and sleeping; the direct program start is in ProgramStart.cpp.
#include "vtsupport/platform/detail/ProcessSpawn.h"
#include "vtsupport/platform/posix/KernelExtensions.h"
#include "vtsupport/platform/posix/Spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace vtsupport {
namespace detail {

namespace {

// No descriptor of the caller but the standard streams, default signal
// handling; when hidden (a console of its own, on Windows), no terminal input
// and output that nobody sees.
class SpawnSettings {
public:
    explicit SpawnSettings(bool hidden) {
        ::posix_spawn_file_actions_init(&its_actions);
        its_complete =
            (!hidden ||
             (::posix_spawn_file_actions_addopen(&its_actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
              ::posix_spawn_file_actions_addopen(&its_actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
              ::posix_spawn_file_actions_adddup2(&its_actions, 1, 2) == 0)) &&
            addCloseFromAction(&its_actions, 3);
        ::posix_spawnattr_init(&its_attributes);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&its_attributes, &none);
        sigset_t all;
        sigfillset(&all);
        ::posix_spawnattr_setsigdefault(&its_attributes, &all);
        ::posix_spawnattr_setflags(&its_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSettings() {
        ::posix_spawnattr_destroy(&its_attributes);
        ::posix_spawn_file_actions_destroy(&its_actions);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    // False when an action could not be added (no memory for it): a child started
    // without it would hold what it must not.
    bool complete() const { return its_complete; }
    const posix_spawn_file_actions_t* actions() const { return &its_actions; }
    const posix_spawnattr_t* attributes() const { return &its_attributes; }

private:
    posix_spawn_file_actions_t its_actions;
    posix_spawnattr_t its_attributes;
    bool its_complete;
};

} // namespace

InterpreterSyntax nativeInterpreterSyntax() {
    return InterpreterSyntax::PosixShell;
}

bool spawnAndWait(const std::vector<std::string>& arguments, bool hidden, unsigned long& result) {
    const SpawnSettings settings(hidden);
    if (!settings.complete()) {
        result = ENOMEM;
        return false;
    }
    std::vector<std::string> texts = arguments;
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    pid_t child = 0;
    const int error = ::posix_spawnp(&child, pointers[0], settings.actions(), settings.attributes(),
                                     pointers.data(), environ);
    if (error != 0) {
        result = static_cast<unsigned long>(error);
        return false;
    }
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited == -1 && errno == EINTR);
    result = 0;
    if (waited != child) // the host ignores SIGCHLD: the status went with the child
        return true;
    if (WIFEXITED(status))
        result = static_cast<unsigned long>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        result = 128UL + static_cast<unsigned long>(WTERMSIG(status));
    return true;
}

unsigned long runInterpreter(const std::string& interpreter, const std::string& command) {
    // The interpreter is looked up on PATH, as a Windows command line's program is.
    unsigned long result = 0;
    spawnAndWait({interpreter, interpreterRunSwitch(InterpreterSyntax::PosixShell), command}, true,
                 result);
    return result;
}

void sleepMilliseconds(unsigned long long milliseconds) {
    timespec remaining;
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (::nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}

} // namespace detail
} // namespace vtsupport
