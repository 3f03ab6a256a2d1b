// The subcommands of vtkit, grouped by service, and the exit statuses they share.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Args.h"

namespace vtkit {

// Every kind of bad input has an exit status of its own.
enum ExitStatus {
    kOk = 0,
    kFailure = 1,        // the operation ran and failed (a command's start error, ...)
    kUnknownCommand = 2, // no such subcommand
    kBadArgument = 3,    // wrong arguments or an argument that does not parse
    kMissingFile = 4,    // an input file that cannot be opened
    kMalformed = 5,      // a document the reader rejects
    kNetwork = 6,        // a host that does not resolve, a peer that is not there
};

// An input file that cannot be opened.
class MissingFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Command {
    CommandSpec syntax;
    std::function<int(const ParsedArgs&)> run;
};

std::vector<Command> diagnosticsCommands();
std::vector<Command> cpuCommands();
std::vector<Command> frameCommands();
std::vector<Command> xmlCommands();
std::vector<Command> fileCommands();

// Tour sections that need more than running a command.
int frameTour();
int xmlTour();
int filesTour();

// The tour: every service on embedded defaults, each section headed.
int runTour();

} // namespace vtkit
