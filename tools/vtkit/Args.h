// The argument parser of vtkit: each subcommand declares its positional
// arguments, its flags and its valued options; parseArgs checks a command line
// against that declaration and throws UsageError with one readable line when it
// does not fit. "--help" (or "-h") is recognised everywhere, "--" ends the
// options, and "-" or a word such as "-1" is a positional.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace vtkit {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Option {
    std::string name;  // "--count"
    std::string value; // "N" for an option taking a value, empty for a flag
    std::string help;
};

struct CommandSpec {
    std::string name;                     // "xml fmt"
    std::vector<std::string> positionals; // "FILE", "NAME"
    std::vector<Option> options;
    std::string summary;
};

struct ParsedArgs {
    bool help = false;
    std::vector<std::string> positionals;
    std::set<std::string> flags;
    std::map<std::string, std::string> values;

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    // The option's value, or `fallback` when it was not given.
    std::string value(const std::string& option, const std::string& fallback) const;
};

// Parses args (without the subcommand words) against syntax.
ParsedArgs parseArgs(const CommandSpec& syntax, const std::vector<std::string>& args);

// "usage: vtkit xml fmt FILE [--attributes-on-lines]" and one line per option.
std::string usage(const CommandSpec& syntax);

// A decimal number (a sign allowed) in [low, high], or UsageError naming `what`.
long parseNumber(const std::string& text, long low, long high, const std::string& what);

} // namespace vtkit
