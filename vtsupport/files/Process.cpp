#include "vtsupport/files/Process.h"

#include <cstdlib>

#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/detail/CommandLine.h"
#include "vtsupport/platform/detail/FileSystem.h"
#include "vtsupport/platform/detail/ProcessSpawn.h"

namespace detail = vtsupport::detail;

namespace {

// How long startProgram waits for a program it does not wait for to the end.
constexpr unsigned int shortWaitMilliseconds = 100;

} // namespace

unsigned long runCommand(const std::string& command) {
    return detail::runInterpreter(detail::interpreterProgram(detail::nativeInterpreterSyntax()),
                                  command);
}

std::string runCommandCapture(const std::string& command) {
    // The output file is removed, with what was made for it, also when the capture runs out of
    // memory. Its name is private: where the temporary directory is shared, another user could
    // otherwise read the output or put a link or FIFO at the name before the interpreter opens it.
    struct Output {
        const std::string its_name = detail::privateFileName("vttmp");
        ~Output() {
            if (!its_name.empty()) {
                FileUtils::removeFile(its_name);
                detail::releasePrivateFileName(its_name);
            }
        }
    } output;
    const std::string& name = output.its_name;
    // The status is not examined: whatever the command wrote is the answer, also
    // when it failed, and a missing file is reported by the text below. Without a
    // name the line could not redirect, and the command does not run.
    if (!name.empty())
        runCommand(detail::redirectedCommand(command, name, detail::nativeInterpreterSyntax()));
    return FileUtils::isFile(name) ? FileUtils::readFile(name) : name + " is not accessible.";
}

bool startProgram(const std::string& commandLine, bool wait) {
    return detail::spawnProgram(commandLine, wait, shortWaitMilliseconds);
}

void sleepSeconds(unsigned int seconds) {
    detail::sleepMilliseconds(seconds * 1000ULL);
}

std::string getEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::string(value) : std::string("NOT_DEFINED");
}
