#include "vtsupport/files/detail/CommandLine.h"

#include <cstdlib>
#include <cstring>

namespace vtsupport {
namespace detail {

namespace {

bool separates(char c) {
    return c == ' ' || c == '\t';
}

// Characters that the POSIX shell reads as themselves outside quotes, in any
// position of a word.
bool plainForShell(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("/._-+,:@%", c) != nullptr);
}

// Characters that CMD.EXE reads as themselves outside quotes; inside quotes
// every other one is literal too, except those no quoting protects.
bool plainForCmd(char c) {
    return static_cast<unsigned char>(c) > ' ' && std::strchr("&|<>^(),;=!%\"", c) == nullptr;
}

bool unquotableForCmd(char c) {
    // %NAME% (and !NAME! where delayed expansion is on) expand inside quotes;
    // a double quote ends them; control characters end the line.
    return static_cast<unsigned char>(c) < ' ' || c == '%' || c == '!' || c == '"';
}

} // namespace

std::string interpreterProgram(InterpreterSyntax syntax) {
    if (const char* comspec = std::getenv("COMSPEC"))
        return comspec;
    return syntax == InterpreterSyntax::WindowsCmd ? "CMD.EXE" : "/bin/sh";
}

const char* interpreterRunSwitch(InterpreterSyntax syntax) {
    return syntax == InterpreterSyntax::WindowsCmd ? "/c" : "-c";
}

const char* escapedInDoubleQuotes(InterpreterSyntax syntax) {
    return syntax == InterpreterSyntax::WindowsCmd ? "" : "$`\"\\";
}

std::string interpreterWord(const std::string& name, InterpreterSyntax syntax) {
    if (syntax == InterpreterSyntax::WindowsCmd) {
        bool plain = true;
        for (char c : name) {
            if (unquotableForCmd(c))
                return std::string();
            plain = plain && plainForCmd(c);
        }
        return plain ? name : '"' + name + '"';
    }
    bool plain = !name.empty();
    for (char c : name)
        plain = plain && plainForShell(c);
    if (plain || name.empty())
        return name;
    std::string quoted = "'";
    for (char c : name)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + '\'';
}

std::string redirectedCommand(const std::string& command, const std::string& name,
                              InterpreterSyntax syntax) {
    const std::string word = interpreterWord(name, syntax);
    const std::string line = command + " > " + word + " 2>&1";
    const bool quotesStripped = syntax == InterpreterSyntax::WindowsCmd && !command.empty() &&
                                command.front() == '"' && word != name;
    return quotesStripped ? '"' + line + '"' : line;
}

std::vector<std::string> splitWindowsCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string::size_type i = 0;
    const std::string::size_type n = line.size();
    for (;;) {
        while (separates(line[i])) // line[n], the terminating NUL, separates nothing
            ++i;
        if (i == n)
            return words;
        // The program name knows no escapes: a backslash is part of a path there.
        const bool escapes = !words.empty();
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || !separates(line[i]))) {
            if (escapes && line[i] == '\\') {
                std::string::size_type count = 0;
                for (; line[i] == '\\'; ++i)
                    ++count;
                const bool beforeQuote = line[i] == '"';
                word.append(beforeQuote ? count / 2 : count, '\\');
                if (beforeQuote && count % 2 == 1) {
                    word += '"';
                    ++i;
                }
            } else if (escapes && quoted && line[i] == '"' && line[i + 1] == '"') {
                word += '"'; // two quotes inside quotes give one and stay inside
                i += 2;
            } else if (line[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
}

void appendQuotedArguments(const std::string& text, std::vector<std::string>& words) {
    std::string::size_type i = 0;
    const std::string::size_type n = text.size();
    for (;;) {
        while (separates(text[i])) // text[n], the terminating NUL, separates nothing
            ++i;
        if (i == n)
            return;
        std::string word;
        bool quoted = false;
        for (; i < n && (quoted || !separates(text[i])); ++i) {
            if (text[i] == '"') {
                quoted = !quoted;
            } else if (quoted && text[i] == '\\' && text[i + 1] != '\0' &&
                       std::strchr(escapedInDoubleQuotes(InterpreterSyntax::PosixShell),
                                   text[i + 1]) != nullptr) {
                word += text[++i];
            } else {
                word += text[i];
            }
        }
        words.push_back(word);
    }
}

} // namespace detail
} // namespace vtsupport
