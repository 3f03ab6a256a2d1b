#include "vtsupport/platform/FileCommands.h"

#include <stdlib.h>

namespace vtsupport {
namespace platform {

const char* copyCommandWord() {
    return "copy ";
}

const char* renameCommandWord() {
    return "ren ";
}

const char* removeTreeCommandWord() {
    return "RMDIR /S /Q ";
}

int runSystemCommand(const std::string& commandLine) {
    return ::system(commandLine.c_str());
}

} // namespace platform
} // namespace vtsupport
