#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/Console.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"

namespace vtkit {

namespace {

// Runs `command` with both output streams redirected into a temporary file, so
// that the exit status and the output come from one run. Returns false when no
// temporary name could be made.
bool runCaptured(const std::string& command, unsigned long& status, std::string& output) {
    const std::string file = FileUtils::tempFileName();
    if (file.empty())
        return false;
    status = runCommand(platform::redirectedCommand(command, FileUtils::quote(file)));
    output = FileUtils::isFile(file) ? FileUtils::readFile(file) : std::string();
    FileUtils::removeFile(file);
    return true;
}

int run(const ParsedArgs& args) {
    unsigned long status = 0;
    std::string output;
    if (!runCaptured(args.positionals[0], status, output)) {
        std::cerr << "vtkit: no temporary file name could be made\n";
        return kFailure;
    }
    std::cout << output;
    if (!output.empty() && output.back() != '\n')
        std::cout << '\n';
    std::cout << "exit status: " << status << '\n';
    return kOk;
}

int env(const ParsedArgs& args) {
    std::cout << getEnvironment(args.positionals[0]) << '\n';
    return kOk;
}

int list(const ParsedArgs& args) {
    std::vector<std::string> names;
    if (!FileUtils::listFiles(args.positionals[0].c_str(), names)) {
        std::cerr << "vtkit: nothing matches " << args.positionals[0] << '\n';
        return kMissingFile;
    }
    for (const std::string& name : names)
        std::cout << name << '\n';
    return kOk;
}

} // namespace

std::vector<Command> fileCommands() {
    return {
        {{"run",
          {"COMMAND"},
          {},
          "run COMMAND through the interpreter; its output and exit status"},
         run},
        {{"env", {"NAME"}, {}, "the variable's value, or NOT_DEFINED"}, env},
        {{"ls", {"PATTERN"}, {}, "files matching a wildcard pattern"}, list},
    };
}

int filesTour() {
    const std::string command = "echo hello from the command interpreter";
    unsigned long status = 0;
    std::string output;
    std::cout << "run: " << command << '\n';
    if (runCaptured(command, status, output))
        std::cout << "captured: " << output << "exit status: " << status << '\n';
    std::cout << "COMSPEC = " << getEnvironment("COMSPEC") << '\n';

    // The program's own directory, listed through a wildcard pattern.
    const std::string directory = FileUtils::programDirectory();
    const std::string pattern =
        directory + (directory.find('\\') != std::string::npos ? "\\" : "/") + "vtkit*";
    std::vector<std::string> names;
    std::cout << "ls " << pattern << '\n';
    if (FileUtils::listFiles(pattern.c_str(), names)) {
        for (const std::string& name : names)
            std::cout << "  " << name << '\n';
    }
    return kOk;
}

} // namespace vtkit
