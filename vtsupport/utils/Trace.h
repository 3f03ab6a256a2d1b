// Trace channel: diagnostic text on standard output, written only while the
// switch variable (utils::traceSwitchName) is present in the environment.
// Every insertion looks the switch up anew; texts are written one character at
// a time through the char insertion, and each newline flushes standard output.
// The process-wide channel is created on first request and never destroyed.
#pragma once

#include <string>

#include "vtsupport/Export.h"

namespace utils {

// Name of the environment variable that switches tracing on (fixed at build time).
VTSUPPORT_API extern const char* const traceSwitchName;

class VTSUPPORT_API ITrace {
public:
    virtual ITrace& operator<<(double the_value) = 0;
    virtual ITrace& operator<<(unsigned int the_value) = 0;
    virtual ITrace& operator<<(int the_value) = 0;
    virtual ITrace& operator<<(const std::string& the_text) = 0;
    virtual ITrace& operator<<(const char* the_text) = 0;
    virtual ITrace& operator<<(char the_char) = 0;
    virtual void enable() = 0;
    virtual void disable() = 0;
    // Put "name=1" into the process environment; failures are ignored.
    virtual void setFlag(const char* name);
    // Remove the variable from the process environment; failures are ignored.
    virtual void clearFlag(const char* name);
    virtual ~ITrace();
};

class VTSUPPORT_API PTrace : public ITrace {
public:
    static PTrace* instance();
    static bool isEnabled();

    ITrace& operator<<(double the_value) override;
    ITrace& operator<<(unsigned int the_value) override;
    ITrace& operator<<(int the_value) override;
    ITrace& operator<<(const std::string& the_text) override;
    ITrace& operator<<(const char* the_text) override;
    ITrace& operator<<(char the_char) override;
    void enable() override;
    void disable() override;
    ~PTrace() override;
};

} // namespace utils
