/// @file
/// Running other programs and reading the environment (global scope).
///
/// Every function blocks the calling thread while it waits, keeps no state,
/// throws nothing of its own and closes every process handle it opened before
/// it returns.
/// @code
/// std::string listing = runCommandCapture("dir");
/// if (getEnvironment("HOME") == "NOT_DEFINED") { ... }
/// @endcode
#pragma once

#include <string>

#include "vtsupport/Export.h"

/// Runs `command` through the interpreter named by `COMSPEC` (`CMD.EXE` with
/// `/c` on Windows and `/bin/sh` with `-c` elsewhere when it is absent) in a
/// hidden console of its own, and waits. Returns the exit status, or the
/// system error code when the interpreter cannot be started (2: not found); the
/// two cannot be told apart, only 0 means success.
VTSUPPORT_API unsigned long runCommand(const std::string& command);

/// Runs `command` as runCommand does, with standard output and standard error
/// redirected into a temporary file, and returns what it wrote, each line
/// followed by "\n", whatever its exit status; the file is always removed. A
/// missing output file gives "<name> is not accessible.".
VTSUPPORT_API std::string runCommandCapture(const std::string& command);

/// Starts the program named at the start of `commandLine` directly (no
/// interpreter; the line is split by the Windows rules) and waits for its end,
/// or at most 100 ms when `wait` is false; a program still running then goes on
/// on its own. False only when the program cannot be started.
VTSUPPORT_API bool startProgram(const std::string& commandLine, bool wait);

/// Blocks the calling thread for `seconds` seconds.
VTSUPPORT_API void sleepSeconds(unsigned int seconds);

/// The value of the environment variable `name` (possibly empty), or
/// "NOT_DEFINED" when it is absent.
VTSUPPORT_API std::string getEnvironment(const std::string& name);
