#include "vtsupport/files/Process.h"

#include <cstdlib>

#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/detail/CommandLine.h"
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
    const std::string output = FileUtils::tempFileName();
    // The status is not examined: whatever the command wrote is the answer, also
    // when it failed, and a missing file is reported by the text below.
    runCommand(detail::redirectedCommand(command, output, detail::nativeInterpreterSyntax()));
    std::string result =
        FileUtils::isFile(output) ? FileUtils::readFile(output) : output + " is not accessible.";
    FileUtils::removeFile(output);
    return result;
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
