// The running program's path from the kernel's link to its executable.
#include "vtsupport/platform/detail/FileSystem.h"

#include <unistd.h>

namespace vtsupport {
namespace detail {

std::string programPath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
        if (length < 0)
            return std::string();
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace detail
} // namespace vtsupport
