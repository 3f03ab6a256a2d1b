// Running a program from an argument vector and waiting for its end: shared by
// the interpreter run and the file commands of the POSIX half.
#pragma once

#include <string>
#include <vector>

namespace vtsupport {
namespace detail {

// Starts `arguments[0]` (looked up on PATH) with `arguments`, a clean signal
// state and none of the caller's descriptors but the standard streams, which are
// on /dev/null when `hidden`. Waits for the end. True with the exit status
// (128 + N for a death by signal N) in `result`, or false with the errno of the
// failed start.
bool spawnAndWait(const std::vector<std::string>& arguments, bool hidden, unsigned long& result);

} // namespace detail
} // namespace vtsupport
