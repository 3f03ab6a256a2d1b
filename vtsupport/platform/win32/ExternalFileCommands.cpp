#include "vtsupport/platform/detail/ExternalFileCommands.h"

#include <stdlib.h>

namespace vtsupport {
namespace detail {

namespace {

int runSystemCommand(const std::string& commandLine) {
    return ::system(commandLine.c_str());
}

} // namespace

int copyByCommand(const std::string& from, const std::string& to) {
    return runSystemCommand("copy " + from + " " + to);
}

int renameByCommand(const std::string& from, const std::string& to) {
    return runSystemCommand("ren " + from + " " + to);
}

int removeTreeByCommand(const std::string& dir) {
    return runSystemCommand("RMDIR /S /Q " + dir);
}

const char* expandedInQuotes() {
    return "";
}

} // namespace detail
} // namespace vtsupport
