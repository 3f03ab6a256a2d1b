// Command lines that FileUtils runs through the C runtime's system(): the
// interpreter's own words for copying, renaming and removing a tree.
#pragma once

#include <string>

namespace vtsupport {
namespace platform {

// Each ends in one blank, ready for the arguments.
const char* copyCommandWord();
const char* renameCommandWord();
const char* removeTreeCommandWord();

// Runs `commandLine` through system(): the command's exit status, or -1 when
// no interpreter could be started.
int runSystemCommand(const std::string& commandLine);

} // namespace platform
} // namespace vtsupport
