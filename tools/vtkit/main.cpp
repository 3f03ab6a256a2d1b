// vtkit: a command-line tool over the vtsupport library. Without arguments it
// runs a tour of every service; subcommands inspect one service each.
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/Console.h"

namespace {

std::vector<vtkit::Command> allCommands() {
    std::vector<vtkit::Command> commands;
    for (auto group : {vtkit::diagnosticsCommands, vtkit::xmlCommands, vtkit::cpuCommands,
                       vtkit::frameCommands, vtkit::fileCommands}) {
        for (vtkit::Command& command : group())
            commands.push_back(std::move(command));
    }
    return commands;
}

void printOverview(std::ostream& out, const std::vector<vtkit::Command>& commands) {
    out << "usage: vtkit [COMMAND [ARGS...]]\n"
           "  Without a command: a tour of every service on embedded defaults.\n"
           "commands (each takes --help):\n";
    for (const vtkit::Command& command : commands) {
        std::string left = command.syntax.name;
        out << "  " << left << std::string(left.size() < 14 ? 14 - left.size() : 1, ' ')
            << command.syntax.summary << '\n';
    }
}

// The command whose words start args, the longest match first ("xml fmt" before "xml").
const vtkit::Command* findCommand(const std::vector<vtkit::Command>& commands,
                                  const std::vector<std::string>& args, std::size_t& used) {
    const vtkit::Command* best = nullptr;
    std::size_t bestWords = 0;
    for (const vtkit::Command& command : commands) {
        std::vector<std::string> words;
        std::string word;
        for (char c : command.syntax.name + ' ') {
            if (c == ' ') {
                words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        if (words.size() > args.size() || words.size() <= bestWords)
            continue;
        bool match = true;
        for (std::size_t i = 0; i < words.size() && match; ++i)
            match = words[i] == args[i];
        if (match) {
            best = &command;
            bestWords = words.size();
        }
    }
    used = bestWords;
    return best;
}

} // namespace

int main(int argc, char** argv) {
    vtkit::platform::useBinaryStandardOutput();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::vector<vtkit::Command> commands = allCommands();
    if (args.empty())
        return vtkit::runTour();
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printOverview(std::cout, commands);
        return vtkit::kOk;
    }
    std::size_t used = 0;
    const vtkit::Command* command = findCommand(commands, args, used);
    if (command == nullptr) {
        std::cerr << "vtkit: unknown command '" << args[0] << "' (vtkit --help lists them)\n";
        return vtkit::kUnknownCommand;
    }
    try {
        const vtkit::ParsedArgs parsed = vtkit::parseArgs(
            command->syntax, std::vector<std::string>(args.begin() + used, args.end()));
        if (parsed.help) {
            std::cout << vtkit::usage(command->syntax);
            return vtkit::kOk;
        }
        return command->run(parsed);
    } catch (const vtkit::UsageError& e) {
        std::cerr << "vtkit: " << e.what() << '\n' << vtkit::usage(command->syntax);
        return vtkit::kBadArgument;
    } catch (const vtkit::MissingFile& e) {
        std::cerr << "vtkit: " << e.what() << '\n';
        return vtkit::kMissingFile;
    }
}
