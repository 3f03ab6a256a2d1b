#include "vtsupport/utils/Cpu.h"

namespace utils {

SingleCoreCpu::SingleCoreCpu() {
    detect();
}

SingleCoreCpu::~SingleCoreCpu() = default;

void SingleCoreCpu::detect() {
    vendorName = "Unknown";
    const std::uint32_t positions = countAffinityPositions();
    packages = positions;
    cores = positions;
    logicalProcessors = positions;
}

} // namespace utils
