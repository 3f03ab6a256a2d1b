#include "Args.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace vtkit {

std::string ParsedArgs::value(const std::string& option, const std::string& fallback) const {
    auto found = values.find(option);
    return found == values.end() ? fallback : found->second;
}

static const Option* findOption(const CommandSpec& syntax, const std::string& name) {
    for (const Option& option : syntax.options) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

// "-" alone (standard input) and "-1" (a number, checked by its command) are
// positionals; so is everything after "--".
static bool isOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && (arg[1] < '0' || arg[1] > '9');
}

ParsedArgs parseArgs(const CommandSpec& syntax, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !isOption(arg)) {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            return parsed;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const Option* option = findOption(syntax, name);
        if (option == nullptr)
            throw UsageError("unknown option " + name + " for 'vtkit " + syntax.name + "'");
        if (option->value.empty()) {
            if (equals != std::string::npos)
                throw UsageError("option " + name + " takes no value");
            parsed.flags.insert(name);
        } else if (equals != std::string::npos) {
            parsed.values[name] = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size())
                throw UsageError("option " + name + " needs a value " + option->value);
            parsed.values[name] = args[++i];
        }
    }
    if (parsed.positionals.size() != syntax.positionals.size()) {
        std::ostringstream message;
        message << "'vtkit " << syntax.name << "' takes " << syntax.positionals.size()
                << " argument" << (syntax.positionals.size() == 1 ? "" : "s") << ", got "
                << parsed.positionals.size();
        throw UsageError(message.str());
    }
    return parsed;
}

std::string usage(const CommandSpec& syntax) {
    std::ostringstream out;
    out << "usage: vtkit " << syntax.name;
    for (const Option& option : syntax.options) {
        out << " [" << option.name;
        if (!option.value.empty())
            out << ' ' << option.value;
        out << ']';
    }
    if (!syntax.positionals.empty())
        out << " [--]";
    for (const std::string& positional : syntax.positionals)
        out << ' ' << positional;
    out << "\n  " << syntax.summary << '\n';
    for (const Option& option : syntax.options) {
        std::string left = option.name + (option.value.empty() ? "" : " " + option.value);
        out << "  " << left << std::string(left.size() < 26 ? 26 - left.size() : 1, ' ')
            << option.help << '\n';
    }
    return out.str();
}

long parseNumber(const std::string& text, long low, long high, const std::string& what) {
    const std::size_t sign = text.compare(0, 1, "-") == 0 ? 1 : 0;
    if (text.size() == sign || text.find_first_not_of("0123456789", sign) != std::string::npos)
        throw UsageError(what + " must be a number, not '" + text + "'");
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || value < low || value > high) {
        std::ostringstream message;
        message << what << " must be between " << low << " and " << high << ", not " << text;
        throw UsageError(message.str());
    }
    return value;
}

} // namespace vtkit
