// The file commands as programs run from an argument vector, never through a
// shell, with "--" ending the options so that a name cannot be one.
#include "vtsupport/platform/detail/ExternalFileCommands.h"
#include "vtsupport/files/detail/CommandLine.h"
#include "vtsupport/platform/posix/Spawn.h"

#include <vector>

namespace vtsupport {
namespace detail {

namespace {

int runProgram(const std::vector<std::string>& arguments) {
    unsigned long status = 0;
    if (!spawnAndWait(arguments, false, status))
        return -1;
    return static_cast<int>(status);
}

} // namespace

int copyByCommand(const std::string& from, const std::string& to) {
    std::vector<std::string> arguments{"cp", "--"};
    appendQuotedArguments(from + " " + to, arguments);
    return runProgram(arguments);
}

int renameByCommand(const std::string& from, const std::string& to) {
    std::vector<std::string> arguments{"mv", "--"};
    appendQuotedArguments(from + " " + to, arguments);
    return runProgram(arguments);
}

bool removeTree(const std::string& dir) {
    // A trailing separator would make rm follow a link to a directory and empty
    // the directory behind it; without one, rm removes the link itself. The
    // root keeps its only character.
    std::string::size_type end = dir.find_last_not_of('/');
    const std::string named = end == std::string::npos ? dir.substr(0, 1) : dir.substr(0, end + 1);
    return runProgram({"rm", "-rf", "--", named}) != -1;
}

} // namespace detail
} // namespace vtsupport
