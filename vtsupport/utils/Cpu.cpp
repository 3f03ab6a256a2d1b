#include "vtsupport/utils/Cpu.h"

#include "vtsupport/utils/Trace.h"
#include "vtsupport/utils/detail/AffinityWalk.h"

namespace utils {

namespace {

const char* const kRestrictedAffinity =
    "User Configuration Error: Not all logical processors in the system are enabled while "
    "running this process. Rerun this application after making corrections. ";

} // namespace

Cpu::Cpu() = default;

Cpu::~Cpu() = default;

bool Cpu::isValid() const {
    return errorText.empty();
}

std::string Cpu::errorMessage() const {
    return errorText;
}

std::string Cpu::vendor() const {
    return vendorName;
}

std::uint32_t Cpu::physicalProcessorCount() const {
    return packages;
}

std::uint32_t Cpu::coreCount() const {
    return cores;
}

std::uint32_t Cpu::logicalProcessorCount() const {
    return logicalProcessors;
}

std::uint32_t Cpu::coresPerPhysicalProcessor() const {
    return cores / packages;
}

bool Cpu::isHyperThreadingCapable() const {
    return htCapable;
}

bool Cpu::isHyperThreadingEnabled() const {
    return htCapable && logicalProcessors / cores > 1;
}

bool Cpu::isMultiProcessor() const {
    return packages > 1;
}

bool Cpu::isMultiCore() const {
    return cores / packages > 1;
}

void Cpu::fail(const char* message) {
    errorText += message;
    *PTrace::instance() << message << "\n";
}

std::uint32_t Cpu::countAffinityPositions() {
    std::uint32_t processMask = 0;
    std::uint32_t systemMask = 0;
    if (const char* failure = vtsupport::detail::affinityMasksOrFailure(processMask, systemMask)) {
        fail(failure);
        return 1;
    }
    if (processMask != systemMask) {
        fail(kRestrictedAffinity);
        return 1;
    }
    return vtsupport::detail::walkAffinity(systemMask, processMask, [](std::uint32_t) {});
}

} // namespace utils
