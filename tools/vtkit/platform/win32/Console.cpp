#include "../Console.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace vtkit {
namespace platform {

void useBinaryStandardOutput() {
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

std::string redirectedCommand(const std::string& command, const std::string& quotedFile) {
    return command + " > " + quotedFile + " 2>&1";
}

} // namespace platform
} // namespace vtkit
