// vtkit: a command-line tool over the vtsupport library. Without arguments it
// runs a tour of every service; subcommands inspect one service each.
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "Commands.h"
#include "Messages.h"
#include "StandardOutput.h"
#include "platform/Streams.h"
#include "vtsupport/Version.h"

namespace {

std::vector<vtkit::Command> allCommands() {
    std::vector<vtkit::Command> commands;
    for (auto group : {vtkit::diagnosticsCommands, vtkit::xmlCommands, vtkit::cpuCommands,
                       vtkit::frameCommands, vtkit::processCommands, vtkit::listingCommands}) {
        for (vtkit::Command& command : group())
            commands.push_back(std::move(command));
    }
    return commands;
}

// The commands whose names begin with `prefix` ("" for all, "xml " for a group).
void printCommands(std::ostream& out, const std::vector<vtkit::Command>& commands,
                   const std::string& prefix) {
    for (const vtkit::Command& command : commands) {
        const std::string& name = command.syntax.name;
        if (name.compare(0, prefix.size(), prefix) == 0)
            out << "  " << name << std::string(name.size() < 14 ? 14 - name.size() : 1, ' ')
                << command.syntax.summary << '\n';
    }
}

bool isHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "help";
}

// The number of words of `name` that begin `args`, or 0 when it does not match.
std::size_t wordsMatched(const std::string& name, const std::vector<std::string>& args) {
    std::size_t words = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find(' ', start);
        if (words == args.size() || name.compare(start, end - start, args[words]) != 0)
            return 0;
        ++words;
        if (end == std::string::npos)
            return words;
        start = end + 1;
    }
}

// No command matches `args`: a group word alone or with a word it does not
// have, or a word that is no command at all.
int unknownCommand(const std::vector<vtkit::Command>& commands,
                   const std::vector<std::string>& args) {
    const std::string group = args[0] + ' ';
    bool isGroup = false;
    for (const vtkit::Command& command : commands)
        isGroup = isGroup || command.syntax.name.compare(0, group.size(), group) == 0;
    if (isGroup && args.size() > 1 && isHelp(args[1])) {
        std::cout << "usage: vtkit " << args[0] << " COMMAND [ARGS...]\ncommands:\n";
        printCommands(std::cout, commands, group);
        return vtkit::kOk;
    }
    if (isGroup && args.size() == 1)
        vtkit::printMessage("'" + args[0] + "' needs a command (vtkit " + args[0] +
                            " --help lists them)");
    else if (isGroup)
        vtkit::printMessage("unknown command '" + group + args[1] + "' (vtkit " + args[0] +
                            " --help lists them)");
    else
        vtkit::printMessage("unknown command '" + args[0] + "' (vtkit --help lists them)");
    return vtkit::kUnknownCommand;
}

int dispatch(const std::vector<std::string>& args) {
    const std::vector<vtkit::Command> commands = allCommands();
    if (args.empty())
        return vtkit::runTour();
    if (args[0] == "--version" && args.size() > 1) {
        vtkit::printMessage("--version takes no arguments (vtkit --help shows the usage)");
        return vtkit::kBadArgument;
    }
    if (args[0] == "--version") {
        std::cout << "vtkit " VTSUPPORT_VERSION_STRING "\n";
        return vtkit::kOk;
    }
    if (isHelp(args[0])) {
        std::cout << "usage: vtkit [COMMAND [ARGS...]] | --version\n"
                     "  Without a command: a tour of every service on embedded defaults.\n"
                     "commands (each takes --help):\n";
        printCommands(std::cout, commands, "");
        return vtkit::kOk;
    }
    const vtkit::Command* command = nullptr;
    std::size_t used = 0;
    for (const vtkit::Command& candidate : commands) {
        const std::size_t words = wordsMatched(candidate.syntax.name, args);
        if (words > used) {
            command = &candidate;
            used = words;
        }
    }
    if (command == nullptr)
        return unknownCommand(commands, args);
    try {
        const vtkit::ParsedArgs parsed = vtkit::parseArgs(
            command->syntax, std::vector<std::string>(args.begin() + used, args.end()));
        if (!parsed.help)
            return command->run(parsed);
        std::cout << vtkit::usage(command->syntax);
        return vtkit::kOk;
    } catch (const vtkit::UsageError& e) {
        vtkit::printMessage(std::string(e.what()) + " (vtkit " + command->syntax.name +
                            " --help shows the usage)");
        return vtkit::kBadArgument;
    }
}

} // namespace

int main(int argc, char** argv) {
    vtkit::platform::prepareStandardStreams();
    vtkit::StandardOutput output;
    int status = vtkit::kFailure;
    try {
        status = dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const vtkit::Failure& failure) {
        vtkit::printMessage(failure.what());
        status = failure.status();
    } catch (const std::bad_alloc&) {
        vtkit::printMessage("out of memory");
    } catch (const std::exception& e) {
        vtkit::printMessage(e.what());
    } catch (const std::string& error) { // how the library's networking reports
        vtkit::printMessage(error);
    }
    const int finished = output.finish(status);
    if (vtkit::exchangeLeftBehind())
        std::_Exit(finished); // standard output is flushed; the statics stay for that thread
    return finished;
}
