// Process environment updates. Lookups use std::getenv, which is portable;
// changing the environment is not, so it lives behind this pair of calls.
#pragma once

namespace vtsupport {
namespace detail {

// Sets the variable; false when the environment could not be changed.
bool setEnvironmentVariable(const char* name, const char* value);
// Removes the variable; removing an absent variable succeeds.
bool removeEnvironmentVariable(const char* name);

} // namespace detail
} // namespace vtsupport
