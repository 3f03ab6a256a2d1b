#include "vtsupport/utils/Trace.h"

#include <cstdlib>
#include <iostream>

#include "vtsupport/platform/detail/Environment.h"

namespace utils {

const char* const traceSwitchName = VTSUPPORT_TRACE_VARIABLE;

ITrace::~ITrace() = default;

void ITrace::setFlag(const char* name) {
    vtsupport::detail::setEnvironmentVariable(name, "1");
}

void ITrace::clearFlag(const char* name) {
    vtsupport::detail::removeEnvironmentVariable(name);
}

PTrace* PTrace::instance() {
    // A function-local static is initialised exactly once even when first
    // calls race; the channel is deliberately never destroyed.
    static PTrace* const channel = new PTrace;
    return channel;
}

bool PTrace::isEnabled() {
    return std::getenv(traceSwitchName) != nullptr;
}

PTrace::~PTrace() = default;

ITrace& PTrace::operator<<(double the_value) {
    if (isEnabled())
        std::cout << the_value;
    return *this;
}

ITrace& PTrace::operator<<(unsigned int the_value) {
    if (isEnabled())
        std::cout << the_value;
    return *this;
}

ITrace& PTrace::operator<<(int the_value) {
    if (isEnabled())
        std::cout << the_value;
    return *this;
}

ITrace& PTrace::operator<<(const std::string& the_text) {
    // The length is taken once: characters appended meanwhile are not written.
    const std::string::size_type length = the_text.size();
    for (std::string::size_type i = 0; i < length; ++i)
        *this << the_text[i];
    return *this;
}

ITrace& PTrace::operator<<(const char* the_text) {
    for (const char* p = the_text; *p != '\0'; ++p)
        *this << *p;
    return *this;
}

ITrace& PTrace::operator<<(char the_char) {
    if (!isEnabled())
        return *this;
    if (the_char == '\n')
        std::cout << std::endl;
    else
        std::cout << the_char;
    return *this;
}

void PTrace::enable() {
    setFlag(traceSwitchName);
}

void PTrace::disable() {
    clearFlag(traceSwitchName);
}

} // namespace utils
