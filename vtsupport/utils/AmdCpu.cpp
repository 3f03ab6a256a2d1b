#include "vtsupport/utils/Cpu.h"

#include "vtsupport/utils/CpuId.h"

namespace utils {

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
