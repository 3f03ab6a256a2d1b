// The tool's dealings with its console and command interpreter that differ by
// system: standard output as the tool wants it (bytes exactly as written, so
// that a written document on Windows keeps its "\n" line ends), and a command
// line whose output goes to a file.
#pragma once

#include <string>

namespace vtkit {
namespace platform {

void useBinaryStandardOutput();

// An interpreter line that runs `command` with both output streams going to
// `quotedFile`. The POSIX shell groups the command so that a whole list is
// redirected; Wine's cmd.exe mishandles a redirected group, so there the
// redirection follows the command as it stands.
std::string redirectedCommand(const std::string& command, const std::string& quotedFile);

} // namespace platform
} // namespace vtkit
