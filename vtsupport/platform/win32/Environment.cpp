#include "vtsupport/platform/detail/Environment.h"

#include <stdlib.h>

#include <string>

namespace vtsupport {
namespace detail {

bool setEnvironmentVariable(const char* name, const char* value) {
    const std::string assignment = std::string(name) + "=" + value;
    return ::_putenv(assignment.c_str()) == 0;
}

bool removeEnvironmentVariable(const char* name) {
    // "name=" with nothing after the sign removes the variable.
    const std::string assignment = std::string(name) + "=";
    return ::_putenv(assignment.c_str()) == 0;
}

} // namespace detail
} // namespace vtsupport
