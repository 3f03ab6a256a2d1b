// What the tests need from the operating system beyond the standard library,
// implemented per OS in posix/ and win32/ like the library's own platform layer.
// A call that only one system can make answers false, doing nothing, on the other.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vttest {
// True in the Windows build, whose tests run under Windows or Wine.
extern const bool onWindows;
// Sets a variable (an empty value too), or removes it when `value` is null.
void setEnv(const std::string& name, const char* value);
bool runningUnderWine();
// A link to the directory `target`: a symbolic link (under Wine made on its Unix
// side), a junction on Windows.
bool makeDirectoryLink(const std::string& target, const std::string& link);
void removeDirectoryLink(const std::string& link);
// Open descriptors or handles of the process, and how far that count may drift
// without a leak (the Windows runtime opens a handle or two of its own at times).
long openHandleCount();
inline long handleCountDrift() {
    return onWindows ? 2 : 0;
}
// A pipe whose ends a started program would inherit.
bool makeInheritablePipe(int ends[2]);
void closeDescriptor(int descriptor);
// Whether a program the process starts, asking for inheritance, would hold `handle`.
bool inheritable(std::intptr_t handle);
// True when the pipe's end arrives, no writer being left, before a byte does.
bool readsEndOfFile(int readEnd);
// A copy of `descriptor` above the descriptor limit, which stays lowered (where
// root, the hard limit too) until restoreDescriptorLimit; a plain copy on Windows.
int copyAboveDescriptorLimit(int descriptor);
void restoreDescriptorLimit();
// Makes the kernel refuse to close descriptors in bulk from now on (for a child process).
bool refuseBulkClose();
// Runs `action` with standard input closed, or with no descriptor free.
bool withoutStandardInput(const std::function<void()>& action);
bool withoutFreeDescriptors(const std::function<void()>& action);
// True when a child has ended without being waited for; waits up to `seconds` for the rest.
bool unwaitedChildAppears(int seconds);
// Sends the calling thread (and with `children` the process's children) a signal
// whose handler does nothing and restarts nothing, after `milliseconds`.
bool interruptAfter(int milliseconds, bool children = false);
// Until restoreTermination, a termination request (SIGTERM) runs a handler that
// appends the id of the process running it to `record` and ends that process, as
// a host's own handler may.
bool recordTerminations(const std::string& record);
void restoreTermination();
// Sends a termination request to each child of the process.
bool terminateChildren();
// The processor's vendor as the system names it ("GenuineIntel"), apart from CPUID.
std::string processorVendor();
} // namespace vttest
