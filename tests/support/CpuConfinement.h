// Confining a test to logical processor 0, so the real processor detection sees a
// process affinity mask narrower than the system's. Windows lets a process narrow
// its own mask; on Linux the test program is run again under `taskset -c 0`.
#pragma once

#include <string>

namespace vttest {

// Narrows this process's affinity to processor 0 where a process may do that to
// itself (Windows); false where it cannot (Linux, see runUnderTaskset).
bool confineProcessToFirstProcessor();

// Runs one test of this program again under `taskset -c 0` with the environment
// variable `marker` set to 1. True when it ran and passed; false with the reason
// in `failure` otherwise. `available` is false where taskset cannot be used.
bool runUnderTaskset(const std::string& testName, const std::string& marker, bool& available,
                     std::string& failure);

} // namespace vttest
