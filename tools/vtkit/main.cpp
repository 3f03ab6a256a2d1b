// vtkit: a command-line tour of the vtsupport library.
#include <cstdlib>
#include <iostream>

#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

int main() {
    std::cout << "== Diagnostics ==\n";
    std::cout << "trace switch variable: " << utils::traceSwitchName << " ("
              << (utils::PTrace::isEnabled() ? "set" : "not set") << ")\n";
    utils::PTrace* trace = utils::PTrace::instance();
    const bool wasEnabled = utils::PTrace::isEnabled();
    trace->enable();
    *trace << "trace channel: this line is written because " << utils::traceSwitchName
           << " is now set\n";
    if (!wasEnabled)
        trace->disable();
    *trace << "trace channel: this line is never seen when the switch was off\n";

    const char* jassert = std::getenv("JASSERT");
    const char* list = std::getenv("JASSERT_FILELIST");
    std::cout << "JASSERT=" << (jassert ? jassert : "(not set)")
              << "  JASSERT_FILELIST=" << (list ? list : "(not set)") << '\n';
    std::cout << "assertions in vtkit's main: "
              << (JAssertEnabled("main") ? "active" : "dormant") << '\n';
    return 0;
}
