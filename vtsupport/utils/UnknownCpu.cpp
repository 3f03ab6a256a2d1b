#include "vtsupport/utils/Cpu.h"

namespace utils {

UnknownCpu::UnknownCpu() {
    detect();
}

UnknownCpu::~UnknownCpu() = default;

void UnknownCpu::detect() {
    fail("Unknown Cpu detected");
}

} // namespace utils
