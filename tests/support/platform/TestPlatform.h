// What the tests need from the operating system beyond the standard library,
// declared once and implemented per OS in posix/ and win32/, the same split as
// the library's own platform layer. The socket calls stand apart from the
// library's on purpose: the networking classes are checked against them.
#pragma once

#include <functional>
#include <string>

namespace vttest {
// True in the Windows build, whose tests run under Windows or Wine.
extern const bool onWindows;
// True where the tests may do what only the system's administrator may (root on Linux).
bool privileged();
// Sets a variable (an empty value too), or removes it when `value` is null.
void setEnv(const std::string& name, const char* value);
// True when the program runs under Wine (ntdll exports wine_get_version).
bool runningUnderWine();
// A command line for runCommand that runs `line` (written for the platform's
// interpreter) in `dir` with standard output into `out` and standard error into `err`.
std::string commandIn(const std::string& dir, const std::string& line, const std::string& out,
                      const std::string& err);
// Makes `link` a link to the directory `target` (both absolute): a symbolic link on
// Linux, and under Wine too (made on its Unix side, where Wine lists it as a
// reparse point); a junction on Windows. False when none can be made.
bool makeDirectoryLink(const std::string& target, const std::string& link);
// Removes such a link where it is left (Wine cannot remove it from its Windows side).
void removeDirectoryLink(const std::string& link);
// Open descriptors (Linux) or handles (Windows) of the process: a leak shows as growth.
long openHandleCount();
// How far openHandleCount may drift in a long run without a leak: none on Linux;
// on Windows the runtime (Wine's under load, for one) opens a handle or two for
// itself at times of its own choosing. A leak per cycle of a soak still shows.
long handleCountDrift();
// A pipe whose ends a started program would inherit; false when it cannot be made.
bool makeInheritablePipe(int ends[2]);
void closeDescriptor(int descriptor);
// A copy of `descriptor` above the descriptor limit, which stays lowered below it until
// restoreDescriptorLimit (POSIX; where privileged, the hard limit is lowered to the copy
// itself); elsewhere a plain copy.
int copyAboveDescriptorLimit(int descriptor);
void restoreDescriptorLimit();
// Makes the kernel refuse to close descriptors in bulk from now on, as older kernels
// and some sandboxes do (irreversible: for a child process); false where it cannot.
bool refuseBulkClose();
// Runs `action` with standard input closed and reopens it after; false, running
// nothing, where it cannot be closed.
bool withoutStandardInput(const std::function<void()>& action);
// Runs `action` with the descriptor limit lowered to the descriptors in use, so that
// no file, pipe or socket can be opened, and restores it after; false, running
// nothing, where there is no such limit.
bool withoutFreeDescriptors(const std::function<void()>& action);
// Blocks until one byte or the end arrives; true at the end (no writer left).
bool readsEndOfFile(int readEnd);
// True when a child of this process has ended without being waited for (a zombie);
// waits up to `seconds` for children still running. Always false where there are none.
bool unwaitedChildAppears(int seconds);
// Interrupts whatever the calling thread waits in with a signal after `milliseconds`
// (its handler does nothing and restarts nothing), and with `children` also what this
// process's children wait in; false where there are no signals.
bool interruptAfter(int milliseconds, bool children = false);
// The processor's vendor as the system names it ("GenuineIntel"), apart from CPUID.
std::string processorVendor();
// Hides the kernel's list of online processors from this process alone (Linux, privileged);
// writeOnlineProcessorList then stands in a list of this process's own.
bool hideOnlineProcessorList();
bool writeOnlineProcessorList(const std::string& list);
} // namespace vttest
