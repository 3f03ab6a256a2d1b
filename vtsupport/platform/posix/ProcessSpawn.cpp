// The interpreter run and sleeping; the direct program start is in ProgramStart.cpp.
#include "vtsupport/platform/ProcessSpawn.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace vtsupport {
namespace platform {

namespace {

// What a hidden console of its own means here: no terminal input, output that
// nobody sees, no descriptor of the caller, default signal handling.
class HiddenSpawnSettings {
public:
    HiddenSpawnSettings() {
        ::posix_spawn_file_actions_init(&its_actions);
        ::posix_spawn_file_actions_addopen(&its_actions, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&its_actions, 1, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_adddup2(&its_actions, 1, 2);
        ::posix_spawn_file_actions_addclosefrom_np(&its_actions, 3);
        ::posix_spawnattr_init(&its_attributes);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&its_attributes, &none);
        sigset_t all;
        sigfillset(&all);
        ::posix_spawnattr_setsigdefault(&its_attributes, &all);
        ::posix_spawnattr_setflags(&its_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~HiddenSpawnSettings() {
        ::posix_spawnattr_destroy(&its_attributes);
        ::posix_spawn_file_actions_destroy(&its_actions);
    }
    HiddenSpawnSettings(const HiddenSpawnSettings&) = delete;
    HiddenSpawnSettings& operator=(const HiddenSpawnSettings&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &its_actions; }
    const posix_spawnattr_t* attributes() const { return &its_attributes; }

private:
    posix_spawn_file_actions_t its_actions;
    posix_spawnattr_t its_attributes;
};

} // namespace

const char* defaultInterpreter() {
    return "/bin/sh";
}

unsigned long runInterpreter(const std::string& interpreter, const std::string& command) {
    const HiddenSpawnSettings settings;
    std::string program = interpreter;
    std::string runSwitch = "-c";
    std::string text = command;
    char* arguments[] = {&program[0], &runSwitch[0], &text[0], nullptr};
    pid_t child = 0;
    // The interpreter is looked up on PATH, as a Windows command line's program is.
    const int error = ::posix_spawnp(&child, program.c_str(), settings.actions(),
                                     settings.attributes(), arguments, environ);
    if (error != 0)
        return static_cast<unsigned long>(error);
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited == -1 && errno == EINTR);
    if (waited != child)
        return 0;
    if (WIFEXITED(status))
        return static_cast<unsigned long>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128UL + static_cast<unsigned long>(WTERMSIG(status));
    return 0;
}

void sleepMilliseconds(unsigned long long milliseconds) {
    timespec remaining;
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (::nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}

} // namespace platform
} // namespace vtsupport
