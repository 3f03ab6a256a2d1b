#include "../Console.h"

namespace vtkit {
namespace platform {

// POSIX streams make no difference between text and binary.
void useBinaryStandardOutput() {}

std::string redirectedCommand(const std::string& command, const std::string& quotedFile) {
    return "(" + command + ") > " + quotedFile + " 2>&1";
}

} // namespace platform
} // namespace vtkit
