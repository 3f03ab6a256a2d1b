// A command run through the interpreter with its output streamed through a
// pipe: the tool's `run`. The library's runCommandCapture does not fit there: it
// collects everything in a temporary file first (which `yes` fills without bound
// and an interrupt leaves behind), hands back the whole text at once, stops at
// a line of 1024 characters, and keeps no exit status.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace vtkit {
namespace platform {

struct PipedRun {
    bool started;         // false: the interpreter could not be started (see error)
    unsigned long status; // the exit status; 128 + N for a death by signal N
    std::string error;
};

// Runs `command` as runCommand does (COMSPEC, else /bin/sh -c or CMD.EXE /c) with
// standard input on the null device and standard output and error into one pipe,
// and hands each piece that arrives to `sink`. When `sink` answers false the
// command and everything it started are ended at once, as a shell pipeline's
// closed pipe would end them at their next write. Interrupts (see Interrupts.h)
// are handed on to the command and everything it started; once its interpreter
// has ended after one, what is left of them is terminated, and a second one
// kills them and ends the wait, even for output still held by a process that
// left them. Nothing started here outlives the tool when it ends otherwise.
PipedRun runPiped(const std::string& command,
                  const std::function<bool(const char*, std::size_t)>& sink);

} // namespace platform
} // namespace vtkit
