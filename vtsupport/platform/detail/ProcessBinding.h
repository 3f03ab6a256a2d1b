// Returning a thread to its process after the processor classes bound it to
// single processors (internal to the library).
#pragma once

#include <cstdint>

namespace vtsupport {
namespace detail {

// Binds the calling thread back to the process. With the native platform, to the
// whole process affinity: processors above 31 included, which no 32-bit mask can
// name and which the thread must not lose. With an installed platform, which
// knows the process by the 32 bits it gave, to `processMask`. False when the bind
// fails.
bool bindThreadToProcess(std::uint32_t processMask);

} // namespace detail
} // namespace vtsupport
