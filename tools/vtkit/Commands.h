// The subcommands of vtkit, grouped by service, and the exit statuses they share.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "Args.h"

namespace vtkit {

// Every kind of failure has an exit status of its own; `run` exits with its
// command's status, and an interrupt that stops work short gives 128 + its signal.
enum ExitStatus {
    kOk = 0,
    kFailure = 1,        // anything else: a command that cannot start, memory exhausted
    kUnknownCommand = 2, // no such subcommand
    kBadArgument = 3,    // wrong arguments or an argument that does not parse
    kInput = 4,          // input that cannot be opened or read; a pattern that matches nothing
    kMalformed = 5,      // a document the reader rejects, or one without an element
    kNetwork = 6,        // a host that does not resolve, a peer that is not there or silent
    kOutput = 7,         // standard output that cannot be written
};

// A command that did not do what was asked: one line for standard error and the status.
class Failure : public std::runtime_error {
public:
    Failure(int status, const std::string& reason) : std::runtime_error(reason), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// A thread for vtkit's own work, or Failure(kFailure) when the system has none
// to give (a limit on processes or on address space).
template <typename... Arguments>
std::thread startThread(Arguments&&... arguments) {
    try {
        return std::thread(std::forward<Arguments>(arguments)...);
    } catch (const std::system_error& e) {
        throw Failure(kFailure, std::string("cannot start a thread: ") + e.what());
    }
}

struct Command {
    CommandSpec syntax;
    std::function<int(const ParsedArgs&)> run;
};

std::vector<Command> diagnosticsCommands();
std::vector<Command> cpuCommands();
std::vector<Command> frameCommands();
std::vector<Command> xmlCommands();
std::vector<Command> processCommands();
std::vector<Command> listingCommands();

// Tour sections that need more than running a command; each throws Failure.
void xmlTour();
void frameTour();
void processTour();
void listingTour();

// Whether an exchange that took too long was left running on its thread: the
// process must then end without destroying the library's statics, which that
// thread may still be using (the lookup's cache).
bool exchangeLeftBehind();

// The tour: every service on embedded defaults, each section headed.
int runTour();

} // namespace vtkit
