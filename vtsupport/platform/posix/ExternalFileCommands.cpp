// The file commands as programs run from an argument vector. Their arguments
// are split the way FileUtils::quote writes them, which is also how a caller
// groups a Windows path with blanks: blanks and tabs separate, double quotes
// group, and inside double quotes a backslash makes the next $, backquote,
// double quote or backslash literal. Nothing else is special: no expansion, no
// command separators, and "--" ends the options so that a name cannot be one.
#include "vtsupport/platform/detail/ExternalFileCommands.h"
#include "vtsupport/platform/posix/Spawn.h"

#include <cstring>
#include <vector>

namespace vtsupport {
namespace detail {

namespace {

bool separates(char c) {
    return c == ' ' || c == '\t';
}

void appendArguments(const std::string& text, std::vector<std::string>& words) {
    std::string::size_type i = 0;
    const std::string::size_type n = text.size();
    for (;;) {
        while (i < n && separates(text[i]))
            ++i;
        if (i == n)
            return;
        std::string word;
        bool quoted = false;
        for (; i < n && (quoted || !separates(text[i])); ++i) {
            if (text[i] == '"') {
                quoted = !quoted;
            } else if (quoted && text[i] == '\\' && i + 1 < n && text[i + 1] != '\0' &&
                       std::strchr("$`\"\\", text[i + 1]) != nullptr) {
                word += text[++i];
            } else {
                word += text[i];
            }
        }
        words.push_back(word);
    }
}

int runProgram(std::vector<std::string> arguments) {
    unsigned long status = 0;
    if (!spawnAndWait(arguments, false, status))
        return -1;
    return static_cast<int>(status);
}

} // namespace

int copyByCommand(const std::string& from, const std::string& to) {
    std::vector<std::string> arguments{"cp", "--"};
    appendArguments(from + " " + to, arguments);
    return runProgram(arguments);
}

int renameByCommand(const std::string& from, const std::string& to) {
    std::vector<std::string> arguments{"mv", "--"};
    appendArguments(from + " " + to, arguments);
    return runProgram(arguments);
}

int removeTreeByCommand(const std::string& dir) {
    // The one directory that the caller found, blanks and all.
    return runProgram({"rm", "-rf", "--", dir});
}

const char* expandedInQuotes() {
    return "$`\\";
}

} // namespace detail
} // namespace vtsupport
