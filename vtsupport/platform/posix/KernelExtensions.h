// What the POSIX half needs beyond POSIX: closing descriptors in bulk and a pipe
// that is close-on-exec from its creation. Every Unix kernel offers these under
// its own names; each is implemented once per kernel (platform/linux/). A port to
// another Unix implements this header, the affinity calls of detail/NativeCpu.h
// and programPath() of detail/FileSystem.h in its own folder beside linux/.
#pragma once

#include <spawn.h>

namespace vtsupport {
namespace detail {

// Adds to `actions` the closing of every descriptor from `first` upward in the
// new process; false when the action could not be added.
bool addCloseFromAction(posix_spawn_file_actions_t* actions, int first);

// Closes the descriptors `first` to `last` (inclusive; ~0U for all above);
// false when the kernel refused, so that the caller closes them one by one.
// Async-signal-safe: called between fork and exec.
bool closeDescriptorRange(unsigned first, unsigned last);

// A pipe whose two ends are close-on-exec from the start, so that a process
// spawned meanwhile by another thread cannot inherit them; false on failure.
bool openCloseOnExecPipe(int ends[2]);

} // namespace detail
} // namespace vtsupport
