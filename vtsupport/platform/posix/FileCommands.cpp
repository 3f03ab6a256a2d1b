#include "vtsupport/platform/FileCommands.h"

#include <stdlib.h>
#include <sys/wait.h>

namespace vtsupport {
namespace platform {

const char* copyCommandWord() {
    return "cp ";
}

const char* renameCommandWord() {
    return "mv ";
}

const char* removeTreeCommandWord() {
    return "rm -rf ";
}

int runSystemCommand(const std::string& commandLine) {
    const int status = ::system(commandLine.c_str());
    if (status == -1)
        return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return status;
}

} // namespace platform
} // namespace vtsupport
