// The system affinity mask from the kernel's list of online processors: plain
// text work, kept apart from the Linux half that reads the list so that every
// system's tests check it.
#pragma once

#include <cstdint>
#include <string>

namespace vtsupport {
namespace detail {

// The processors of a list such as "0-3,5,8-9", clipped to bits 0..31. Where the
// list is empty (it could not be read) or is no list, the first `onlineCount`
// processors, at least one.
std::uint32_t onlineProcessorMask(const std::string& list, long onlineCount);

} // namespace detail
} // namespace vtsupport
