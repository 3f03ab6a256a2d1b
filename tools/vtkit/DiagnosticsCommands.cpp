#include <cstdlib>
#include <iostream>
#include <string>

#include "Commands.h"
#include "Messages.h"
#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

namespace vtkit {

namespace {

// The variable's value, control characters shown as escapes so that it keeps to its line.
std::string valueOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return fallback;
    std::string shown;
    appendVisible(shown, value, false);
    return shown;
}

int showDiagnostics(const ParsedArgs&) {
    std::cout << "trace switch: " << utils::traceSwitchName << " is "
              << (utils::PTrace::isEnabled() ? "set" : "not set") << '\n';
    std::cout << "JASSERT=" << valueOr("JASSERT", "(not set)")
              << "  JASSERT_FILELIST=" << valueOr("JASSERT_FILELIST", "(not set)") << '\n';
    std::cout << "assertions in vtkit's own sources: "
              << (JAssertEnabled("DiagnosticsCommands") ? "active" : "dormant") << '\n';
    utils::PTrace* trace = utils::PTrace::instance();
    *trace << "trace: this line appears only while " << utils::traceSwitchName << " is set\n";
    return kOk;
}

} // namespace

std::vector<Command> diagnosticsCommands() {
    return {
        {{"diag", {}, {}, "show the trace switch and the assertion settings"}, showDiagnostics}};
}

} // namespace vtkit
