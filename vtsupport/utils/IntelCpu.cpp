#include "vtsupport/utils/Cpu.h"

#include "vtsupport/utils/CpuId.h"
#include "vtsupport/utils/Trace.h"

namespace utils {

namespace {

// Twenty spaces inside: the wording the topology walk has always used, distinct
// from the base detection's text for the same condition.
const char* const kRestrictedDuringWalk =
    "User Configuration Error: Not all logical processors in the system are enabled"
    "                    while running this process. Rerun this application after making "
    "corrections. ";
const char* const kValidationFailure = "Algorithm failed validation check for IntelCpu.";

const char* headline(TopologyOutcome outcome) {
    switch (outcome) {
    case TopologyOutcome::SingleCoreHtEnabled:
        return "Hyper-Threading Technology: Enabled  \nMulti-core: No \nMulti-processor: ";
    case TopologyOutcome::SingleCoreHtDisabled:
        return "Hyper-Threading Technology: Disabled  \nMulti-core: No \nMulti-processor: ";
    case TopologyOutcome::SingleCoreHtNotCapable:
        return "Hyper-Threading Technology: Not capable  \nMulti-core: No \nMulti-processor: ";
    case TopologyOutcome::MultiCoreHtNotCapable:
        return "Hyper-Threading Technology: not capable  \nMulti-core: Yes \nMulti-processor: ";
    case TopologyOutcome::MultiCoreHtEnabled:
        return "Hyper-Threading Technology: Enabled  \nMulti-core: Yes \nMulti-processor: ";
    case TopologyOutcome::MultiCoreHtDisabled:
        return "Hyper-Threading Technology: Disabled  \nMulti-core: Yes \nMulti-processor: ";
    case TopologyOutcome::AffinityRestricted:
        break;
    }
    return "";
}

} // namespace

IntelCpu::IntelCpu() {
    relationships.clear();
    htCapable = hasHyperThreadingFlag() != 0;
    detect();
}

IntelCpu::~IntelCpu() = default;

void IntelCpu::detect() {
    if (!isValid())
        return;
    if (!isGenuineIntel())
        return;
    vendorName = "GenuineIntel";
    const TopologyOutcome outcome = enumerateTopology(logicalProcessors, cores, packages);
    if (outcome == TopologyOutcome::AffinityRestricted) {
        // Masks that could not be read or bound to have already recorded their own text.
        if (isValid())
            fail(kRestrictedDuringWalk);
        return;
    }
    ITrace& trace = *PTrace::instance();
    trace << headline(outcome) << (packages > 1 ? "yes\n" : "No\n");
    if (coresPerPackage() * packages < cores)
        fail(kValidationFailure);
    if (logicalProcessorsPerPackage() * packages < logicalProcessors)
        fail(kValidationFailure);
    traceReport();
}

void IntelCpu::traceReport() {
    ITrace& trace = *PTrace::instance();
    trace << "\n\nHardware capability and its availability to applications: \n";
    trace << "\n  System wide availability: " << packages << " physical processors, " << cores
          << " cores, " << logicalProcessors << " logical processors\n";
    trace << "  Multi-core capabililty : " << coresPerPackage() << " cores per package \n";
    trace << "  HT capability: "
          << static_cast<int>(logicalProcessorsPerPackage() / coresPerPackage())
          << " logical processors per core \n";
    if (coresPerPackage() * packages > cores)
        trace << "\n  Not all cores in the system are enabled for this application.\n";
    else
        trace << "\n  All cores in the system are enabled for this application.\n";
    trace << "\n\nRelationships between OS affinity mask, Initial APIC ID, and 3-level sub-IDs: \n";
    for (const std::string& line : relationships)
        trace << line << "\n";
}

} // namespace utils
