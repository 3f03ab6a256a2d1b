/// @file
/// The trace channel: diagnostic text on standard output, written only while
/// the switch variable (utils::traceSwitchName) is present in the environment.
#pragma once

#include <string>

#include "vtsupport/Export.h"

/// Trace channels and processor topology.
namespace utils {

/// Name of the environment variable that switches tracing on: `VT_TRACE`
/// unless the library was built with another `VTSUPPORT_TRACE_VARIABLE`.
/// Fixed at build time; the same for every channel.
VTSUPPORT_API extern const char* const traceSwitchName;

/// A sink for diagnostic text, written to by chained insertions.
///
/// There are no levels, categories, prefixes or time stamps: a trace line is
/// exactly the text that callers insert, ended by a newline that they insert
/// themselves. Every insertion returns the channel, so insertions chain:
/// @code
/// *utils::PTrace::instance() << "loaded " << 3 << " files\n";
/// @endcode
/// The virtual operations keep their order (the table of virtual functions is
/// part of the library's binary interface).
class VTSUPPORT_API ITrace {
public:
    /// Writes a number as `std::cout << the_value` would, in the current
    /// formatting state of `std::cout`.
    virtual ITrace& operator<<(double the_value) = 0;
    /// Writes a number as unsigned (the largest value prints as 4294967295).
    virtual ITrace& operator<<(unsigned int the_value) = 0;
    /// Writes a signed number.
    virtual ITrace& operator<<(int the_value) = 0;
    /// Writes the text one character at a time through the `char` insertion:
    /// as many characters as it had when the insertion began, zero characters
    /// included.
    virtual ITrace& operator<<(const std::string& the_text) = 0;
    /// Writes the text one character at a time through the `char` insertion,
    /// up to its terminating zero. Must not be null.
    virtual ITrace& operator<<(const char* the_text) = 0;
    /// Writes one character; a newline writes `std::endl` (newline and flush).
    virtual ITrace& operator<<(char the_char) = 0;
    /// Switches tracing on for the whole process (sets the switch variable).
    virtual void enable() = 0;
    /// Switches tracing off for the whole process (removes the switch variable).
    virtual void disable() = 0;
    /// Puts `name=1` into the process environment; failures are ignored.
    virtual void setFlag(const char* name);
    /// Removes the variable `name` from the process environment; failures are ignored.
    virtual void clearFlag(const char* name);
    /// Destroys the channel.
    virtual ~ITrace();
};

/// The channel on the process's standard output stream (`std::cout`).
///
/// Every insertion first looks the switch variable up in the environment and
/// writes nothing while it is absent; an empty value counts as present. It
/// writes through the `std::cout` of the program, with whatever formatting
/// state that has (base, field width, precision), and to whatever buffer the
/// program has put under it. Each newline flushes, so a line is visible as soon
/// as it ends. Texts go out character by character, so insertions from several
/// threads interleave by characters; no lock is taken.
class VTSUPPORT_API PTrace : public ITrace {
public:
    /// The process-wide channel, made on the first call (exactly one even when
    /// first calls race) and never destroyed. Callers never delete it.
    static PTrace* instance();
    /// True while the switch variable is present in the environment, whatever
    /// its value (empty included).
    static bool isEnabled();

    ITrace& operator<<(double the_value) override;
    ITrace& operator<<(unsigned int the_value) override;
    ITrace& operator<<(int the_value) override;
    ITrace& operator<<(const std::string& the_text) override;
    ITrace& operator<<(const char* the_text) override;
    ITrace& operator<<(char the_char) override;
    void enable() override;
    void disable() override;
    /// Destroys the channel (the process-wide one never is).
    ~PTrace() override;
};

} // namespace utils
