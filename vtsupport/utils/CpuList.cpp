#include "vtsupport/utils/detail/CpuList.h"

namespace vtsupport {
namespace detail {

namespace {

// Adds processors first..last (clipped to bits 0..31) to the mask.
void addRange(std::uint32_t& mask, unsigned long first, unsigned long last) {
    for (unsigned long cpu = first; cpu <= last && cpu < 32; ++cpu)
        mask |= 1u << cpu;
}

bool parseCpuList(const std::string& list, std::uint32_t& mask) {
    mask = 0;
    std::string::size_type pos = 0;
    bool any = false;
    while (pos < list.size()) {
        std::string::size_type end = list.find(',', pos);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(pos, end - pos);
        const std::string::size_type dash = item.find('-');
        try {
            const unsigned long first = std::stoul(item.substr(0, dash));
            const unsigned long last =
                dash == std::string::npos ? first : std::stoul(item.substr(dash + 1));
            addRange(mask, first, last);
            any = true;
        } catch (...) {
            return false;
        }
        pos = end + 1;
    }
    return any;
}

} // namespace

std::uint32_t onlineProcessorMask(const std::string& list, long onlineCount) {
    std::uint32_t mask = 0;
    if (parseCpuList(list, mask))
        return mask;
    // Without a list, assume the online processors are numbered without gaps.
    mask = 0;
    addRange(mask, 0, onlineCount > 0 ? static_cast<unsigned long>(onlineCount - 1) : 0);
    return mask;
}

} // namespace detail
} // namespace vtsupport
