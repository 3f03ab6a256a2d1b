// The file commands as programs run from an argument vector, never through a
// shell, with "--" ending the options so that a name cannot be one.
#include "vtsupport/platform/detail/ExternalFileCommands.h"
#include "vtsupport/files/detail/CommandLine.h"
#include "vtsupport/platform/posix/Spawn.h"

#include <sys/stat.h>

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

bool exists(const std::string& name) {
    struct stat status;
    return ::lstat(name.c_str(), &status) == 0;
}

} // namespace

int copyByCommand(const std::string& from, const std::string& to) {
    std::vector<std::string> arguments{"cp", "--"};
    appendQuotedArguments(from + " " + to, arguments);
    return runProgram(arguments);
}

int renameByCommand(const std::string& from, const std::string& to) {
    // A rename, as ren does it: of one name to one that is free, never over a file or into a
    // directory. mv -n skips a taken name, yet may answer 0 for it, so the source must be gone
    // afterwards; -T keeps a directory target a name; -n also means mv never asks.
    std::vector<std::string> names;
    appendQuotedArguments(from + " " + to, names);
    if (names.size() != 2)
        return 1;
    const int status = runProgram({"mv", "-n", "-T", "--", names[0], names[1]});
    return status == 0 && exists(names[0]) ? 1 : status;
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
