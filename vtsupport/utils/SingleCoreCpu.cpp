#include "vtsupport/utils/Cpu.h"

#include "vtsupport/utils/CpuId.h"

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

UnknownCpu::UnknownCpu() {
    detect();
}

UnknownCpu::~UnknownCpu() = default;

void UnknownCpu::detect() {
    fail("Unknown Cpu detected");
}

AmdCpu::AmdCpu() {
    detect();
}

AmdCpu::~AmdCpu() = default;

void AmdCpu::detect() {
    if (!isValid() || !isAmd())
        return;
    vendorName = "AuthenticAMD";
    fail("Multi-core detection is not implemented for AuthenticAMD. ");
}

} // namespace utils
