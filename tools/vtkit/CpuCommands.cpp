#include <iostream>

#include "Commands.h"
#include "Messages.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/Trace.h"

namespace vtkit {

namespace {

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

int showCpu(const ParsedArgs&) {
    // Detection writes its report to the trace channel, so tracing is switched on
    // for the first request and put back as it was afterwards. A switch already
    // present keeps its value: the commands run later inherit it.
    utils::PTrace* trace = utils::PTrace::instance();
    const bool wasTracing = utils::PTrace::isEnabled();
    std::cout << "topology report (trace channel):\n";
    std::cout.flush();
    if (!wasTracing)
        trace->enable();
    utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
    if (!wasTracing)
        trace->disable();
    if (cpu == nullptr) {
        printMessage("no processor object could be made");
        return kFailure;
    }
    std::cout << "summary:\n"
              << "  vendor                " << cpu->vendor() << '\n'
              << "  packages              " << cpu->physicalProcessorCount() << '\n'
              << "  cores                 " << cpu->coreCount() << '\n'
              << "  logical processors    " << cpu->logicalProcessorCount() << '\n'
              << "  cores per package     " << cpu->coresPerPhysicalProcessor() << '\n'
              << "  hyper-threading       capable: " << yesNo(cpu->isHyperThreadingCapable())
              << ", enabled: " << yesNo(cpu->isHyperThreadingEnabled()) << '\n'
              << "  multi-processor       " << yesNo(cpu->isMultiProcessor()) << '\n'
              << "  multi-core            " << yesNo(cpu->isMultiCore()) << '\n'
              << "  valid                 " << yesNo(cpu->isValid()) << '\n';
    if (!cpu->isValid())
        std::cout << "  error message         " << cpu->errorMessage() << '\n';
    return kOk;
}

} // namespace

std::vector<Command> cpuCommands() {
    return {{{"cpu", {}, {}, "processor summary and topology report"}, showCpu}};
}

} // namespace vtkit
