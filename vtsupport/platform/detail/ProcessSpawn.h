// Process creation under the command runner: one interpreter run that is waited
// for, one program start with a bounded wait, and sleeping. No handle or
// descriptor of the caller is passed on to the new process, and none of the
// caller's is left open when a call returns.
#pragma once

#include <string>

#include "vtsupport/files/detail/CommandLine.h"

namespace vtsupport {
namespace detail {

// Runs `command` through `interpreter` (with the native syntax's switch to run
// one command and exit), detached from the caller's console and hidden, and waits for the end.
// The exit status (128 + N for a death by signal N), or the system error code
// when the process cannot be created.
unsigned long runInterpreter(const std::string& interpreter, const std::string& command);

// Starts the program named by the first word of `commandLine` (Windows command
// line rules), then waits for its end when `untilExit` is true, otherwise for at
// most `otherwiseMilliseconds`. False only when the program cannot be started.
// A program still running afterwards is not waited for and leaves nothing behind.
bool spawnProgram(const std::string& commandLine, bool untilExit,
                  unsigned int otherwiseMilliseconds);

void sleepMilliseconds(unsigned long long milliseconds);

} // namespace detail
} // namespace vtsupport
