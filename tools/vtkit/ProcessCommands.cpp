#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/Interrupts.h"
#include "platform/PipedCommand.h"
#include "vtsupport/files/Process.h"

namespace vtkit {

namespace {

// The command's output is passed on as it arrives; the command's status is the
// tool's. A failed standard output closes the pipe and is reported by main.
int run(const ParsedArgs& args) {
    platform::catchInterrupts();
    const platform::PipedRun run =
        platform::runPiped(args.positionals[0], [](const char* data, std::size_t size) {
            std::cout.write(data, static_cast<std::streamsize>(size));
            std::cout.flush();
            return static_cast<bool>(std::cout);
        });
    if (!run.started)
        throw Failure(kFailure, "cannot start the command interpreter: " + run.error);
    const int interrupt = platform::interruption();
    if (!std::cout || (run.status == 0 && interrupt == 0))
        return kOk;
    if (platform::interruptionCount() > 1)
        throw Failure(128 + interrupt, "interrupted twice; the command was killed");
    const std::string reason = "the command ended with status " + std::to_string(run.status);
    if (interrupt == 0)
        throw Failure(static_cast<int>(run.status), reason);
    throw Failure(run.status != 0 ? static_cast<int>(run.status) : 128 + interrupt,
                  "interrupted; " + reason);
}

int env(const ParsedArgs& args) {
    std::cout << getEnvironment(args.positionals[0]) << '\n';
    return kOk;
}

} // namespace

std::vector<Command> processCommands() {
    return {
        {{"run",
          {"COMMAND"},
          {},
          "run COMMAND through the interpreter, its output streamed; exits with its status"},
         run},
        {{"env", {"NAME"}, {}, "the variable's value, or NOT_DEFINED"}, env},
    };
}

// The library's own capture, which the tour shows as it is.
void processTour() {
    const std::string command = "echo hello from the command interpreter";
    std::cout << "run: " << command << '\n';
    std::string captured;
    {
        // An interrupt waits until the interpreter has ended and the capture's
        // file is removed, then ends the tour as it would have.
        const platform::HeldInterrupts held;
        captured = runCommandCapture(command);
    }
    // A capture that failed is a marker without a line end of its own.
    if (captured.empty() || captured.back() != '\n')
        captured += '\n';
    std::cout << "captured: " << captured << "COMSPEC = " << getEnvironment("COMSPEC") << '\n';
}

} // namespace vtkit
