// Linux (glibc 2.34 or newer) names for what the POSIX half needs beyond POSIX.
#include "vtsupport/platform/posix/KernelExtensions.h"

#include <fcntl.h>
#include <unistd.h>

namespace vtsupport {
namespace detail {

bool addCloseFromAction(posix_spawn_file_actions_t* actions, int first) {
    return ::posix_spawn_file_actions_addclosefrom_np(actions, first) == 0;
}

bool closeDescriptorRange(unsigned first, unsigned last) {
    return ::close_range(first, last, 0) == 0;
}

bool openCloseOnExecPipe(int ends[2]) {
    return ::pipe2(ends, O_CLOEXEC) == 0;
}

} // namespace detail
} // namespace vtsupport
