#include "vtsupport/utils/Cpu.h"

#include <exception>
#include <new>

#include "vtsupport/utils/CpuId.h"

namespace utils {

namespace {

// The process-wide processor object; null until made, never deleted.
ICpu* processor = nullptr;

} // namespace

CpuFactory* CpuFactory::instance() {
    std::exception_ptr failure;
    // A function-local static is made exactly once even when first calls race; the
    // others wait until detection has finished. An exception from the detection is
    // handed to the first caller only: the factory stays made without a processor
    // object, and no later call detects again.
    static CpuFactory* const factory = [&failure] {
        CpuFactory* made = new CpuFactory;
        try {
            made->create();
        } catch (...) {
            failure = std::current_exception();
        }
        return made;
    }();
    if (failure)
        std::rethrow_exception(failure);
    return factory;
}

ICpu* CpuFactory::cpu() {
    return processor;
}

ICpu* CpuFactory::create() {
    if (processor != nullptr)
        return processor;
    if (isGenuineIntel())
        processor = new (std::nothrow) IntelCpu;
    else if (isAmd())
        processor = new (std::nothrow) AmdCpu;
    else
        processor = new (std::nothrow) UnknownCpu;
    return processor;
}

} // namespace utils
