#include "vtsupport/platform/detail/Environment.h"

#include <stdlib.h>

namespace vtsupport {
namespace detail {

bool setEnvironmentVariable(const char* name, const char* value) {
    return ::setenv(name, value, 1) == 0;
}

bool removeEnvironmentVariable(const char* name) {
    return ::unsetenv(name) == 0;
}

} // namespace detail
} // namespace vtsupport
